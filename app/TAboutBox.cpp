#include "app/TAboutBox.h"

#include <QLabel>
#include <QPushButton>

#include "widgets/Colors.h"
#include "widgets/Fonts.h"
#include "widgets/Panel.h"

namespace velmora {

TAboutBox::TAboutBox() {
    setObjectName(QStringLiteral("AboutBox"));
    setCaption(QStringLiteral("About"));
    setClientSize(298, 218);
    setBackground(clBtnFace());
    setFont(songFont(12));

    Panel1 = new Panel(this, Panel::Bevel::Lowered, Panel::Bevel::None);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(8, 8, 281, 161);
    const struct {
        const char* captionName;
        const char* caption;
        const char* valueName;
        const char* value;
        int top;
    } rows[] = {
        {"ProductName", "产品名称：", "Label1", "Velmora管理", 8},
        {"Version", "Version:", "Label2", VELMORA_VERSION, 40},
        {"Label3", "作者:", "Label5", "韩嘉禾  浙江杭州", 72},
        {"Label4", "电话:", "Label6", "0571-0000 1001", 104},
        {"Label7", "E-mail:", "Label8", "velmora@example.com", 136},
    };
    for (const auto& r : rows) {
        auto* caption = new QLabel(QString::fromUtf8(r.caption), Panel1);
        caption->setObjectName(QString::fromLatin1(r.captionName));
        caption->move(16, r.top);
        auto* value = new QLabel(QString::fromUtf8(r.value), Panel1);
        value->setObjectName(QString::fromLatin1(r.valueName));
        value->move(96, r.top);
    }
    ProductName = Panel1->findChild<QLabel*>(QStringLiteral("ProductName"));
    Version = Panel1->findChild<QLabel*>(QStringLiteral("Version"));
    Label1 = Panel1->findChild<QLabel*>(QStringLiteral("Label1"));
    Label2 = Panel1->findChild<QLabel*>(QStringLiteral("Label2"));

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setGeometry(120, 178, 65, 33);
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, [this] { done(mrOk); });

    busyDelay(BusyDelayPasses);
}

void TAboutBox::busyDelay(int passes) {
    // Counting loops that do nothing; the empty asm keeps the optimiser from removing them.
    for (int i = 0; i < passes; ++i)
        for (int j = 0; j < 10001; ++j) __asm__ __volatile__("" : : "r"(j));
}

void TAboutBox::FormShow() {
    OKButton->setFocus();
}

}  // namespace velmora
