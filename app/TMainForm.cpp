// The main window: construction, layout, the welcome label and the navigation panel.
#include "app/TMainForm.h"

#include <QAbstractEventDispatcher>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScreen>
#include <QShowEvent>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "app/NavLabel.h"
#include "app/NavPanel.h"
#include "app/Pictures.h"
#include "widgets/Accessibility.h"
#include "widgets/ApplicationQuit.h"
#include "widgets/Colors.h"
#include "widgets/ErrorGuard.h"
#include "widgets/Fonts.h"
#include "widgets/FormRegistry.h"
#include "widgets/MdiChildForm.h"
#include "widgets/PictureBox.h"

namespace velmora {

namespace {
const char* const kServerGUID = "{276F7104-2B30-4414-AD12-DE1160EAA8D1}";
const char* const kServerName = "brandolex.test";
// The navigation entries' panel: seven entries in 375 pixels, and 经营分析 below them.
constexpr int kNavigationHeight = 428;
}  // namespace

TMainForm::TMainForm() {
    setObjectName(QStringLiteral("MainForm"));
    FormRegistry::add(this);
    setWindowTitle(QStringLiteral("Velmora管理"));
    setFont(songFont(12));
    resize(812, 612);

    SocketConnection1.setServerGUID(kServerGUID);
    SocketConnection1.setServerName(kServerName);
    SocketConnection1.setAddress("127.0.0.1");
    // A block or an error that arrives while no call waits is handled on this thread, where an
    // error reaches the error display.
    SocketConnection1.setNoticeHook([this] {
        QMetaObject::invokeMethod(
            this, [this] { guarded([this] { SocketConnection1.processNotices(); }); }, Qt::QueuedConnection);
    });

    ImageList1 = mainImageList();
    buildActions();
    buildMenu();
    buildToolBar();
    buildLayout();

    auto* bar = new QStatusBar(this);
    bar->setObjectName(QStringLiteral("StatusBar"));
    bar->setFixedHeight(19);
    describeStatusBar(bar, QStringLiteral("状态栏"));
    EncryptionLabel = new QLabel(bar);
    EncryptionLabel->setObjectName(QStringLiteral("EncryptionLabel"));
    EncryptionLabel->setContentsMargins(8, 0, 12, 0);
    EncryptionLabel->hide();
    bar->addPermanentWidget(EncryptionLabel);
    setStatusBar(bar);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(150);
    connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });
    Timer1->start();

    // The clipboard and window actions follow their targets whenever the program goes idle.
    connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, this,
            [this] { updateActions(); });
}

TMainForm::~TMainForm() {
    ConnectionLoss::setReconnect(nullptr);  // it reconnects through this window
    setUnsavedWorkCheck(nullptr);
    FormRegistry::remove(this);
    MdiChildForm::setMdiArea(nullptr);
    SocketConnection1.setNoticeHook(nullptr);
    try {
        SocketConnection1.close();
    } catch (...) {
        // The program is ending; a connection that fails to close goes with the process.
    }
}

void TMainForm::buildLayout() {
    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    buildDescriptionPanel(central);
    column->addWidget(Panel2);

    Splitter1 = new QSplitter(Qt::Horizontal, central);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setHandleWidth(3);
    Splitter1->setChildrenCollapsible(false);
    column->addWidget(Splitter1, 1);

    Panel1 = new Panel(Splitter1, Panel::Bevel::None, Panel::Bevel::Lowered);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setColor(colorFromBgr(16766935));
    Panel1->setMinimumWidth(30);
    buildNavigationPanel();

    ClientArea = new QMdiArea(Splitter1);
    ClientArea->setObjectName(QStringLiteral("ClientArea"));
    ClientArea->setBackground(colorFromBgr(10998526));
    ClientArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    ClientArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    MdiChildForm::setMdiArea(ClientArea);

    Splitter1->addWidget(Panel1);
    Splitter1->addWidget(ClientArea);
    Splitter1->setStretchFactor(0, 0);
    Splitter1->setStretchFactor(1, 1);
    // 153 pixels as designed, wider when a navigation label would be cut at the panel's edge.
    int navigation = 153;
    for (NavLabel* label : NavLabels)
        navigation = std::max(navigation, Panel3->mapTo(Panel1, QPoint(label->geometry().right(), 0)).x() +
                                              2 * Panel1->bevelWidth() + 10);
    Splitter1->setSizes({navigation, 812 - navigation});
    setCentralWidget(central);
}

void TMainForm::buildDescriptionPanel(QWidget* parent) {
    Panel2 = new Panel(parent, Panel::Bevel::None, Panel::Bevel::Lowered);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Panel2->setFixedHeight(83);
    Panel2->setColor(colorFromBgr(15308455));
    const struct {
        const char* name;
        int left;
        int top;
        const char* text;
    } labels[] = {
        {"Label11", 24, 8, "本软件为一个示范软件：Velmora管理系统。采用三层结构。数据库为access2000。"},
        {"Label12", 480, 8, "可运行在局域网(intranet)或者广域网(internet)中。"},
        {"Label13", 25, 37,
         "功能上只是完成销售管理的基本功能：1，可设置客户，业务员，存货档案。2，销售开票。"},
        {"Label14", 511, 37, "3，销售开票的统计以及客户的销售业绩统计。"},
        {"Label15", 24, 64,
         "由于本软件出于示范的目的，所以采用的是access2000数据库，如果客户端太多会出现不稳定的现象。"
         "如果想实际应用，必须采用大型数据库。"},
    };
    for (const auto& l : labels) {
        auto* label = new QLabel(QString::fromUtf8(l.text), Panel2);
        label->setObjectName(QString::fromLatin1(l.name));
        label->move(l.left, l.top);
        label->adjustSize();
    }
}

void TMainForm::buildNavigationPanel() {
    auto* stack = new QVBoxLayout(Panel1);
    stack->setContentsMargins(Panel1->bevelWidth(), Panel1->bevelWidth(), Panel1->bevelWidth(),
                              Panel1->bevelWidth());
    stack->setSpacing(0);

    Panel4 = new Panel(Panel1, Panel::Bevel::None, Panel::Bevel::Lowered);
    Panel4->setObjectName(QStringLiteral("Panel4"));
    Panel4->setColor(colorFromBgr(16766935));
    Panel4->setMinimumHeight(20);
    Label1 = new QLabel(QStringLiteral("欢迎使用Tarnwick软件"), Panel4);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->move(24, 40);
    Label1->adjustSize();
    stack->addWidget(Panel4, 1);

    Panel3 = new NavPanel(Panel1);
    Panel3->setObjectName(QStringLiteral("Panel3"));
    Panel3->setColor(colorFromBgr(16766935));
    Panel3->setFixedHeight(kNavigationHeight);
    stack->addWidget(Panel3);
    connect(Panel3, &NavPanel::backgroundMouseMoved, this, [this] { Panel3MouseMove(); });

    Images[0] = new PictureBox(navigationStrip(31, kNavigationHeight - 2 * Panel3->bevelWidth()), Panel3);
    Images[0]->setObjectName(QStringLiteral("Image1"));
    Images[0]->move(Panel3->bevelWidth(), Panel3->bevelWidth());

    const struct {
        const char* label;
        int labelTop;
        const char* caption;
        const char* image;
        int imageTop;
        NavigationPicture picture;
    } entries[] = {
        {"Label2", 20, "更改口令", "Image2", 8, NavigationPicture::Password},
        {"Label3", 72, "存货档案", "Image3", 62, NavigationPicture::Items},
        {"Label4", 125, "客户档案", "Image4", 117, NavigationPicture::Customers},
        {"Label5", 177, "业务员档案", "Image5", 172, NavigationPicture::Salesmen},
        {"Label6", 230, "销售开票 ", "Image6", 226, NavigationPicture::Invoice},
        {"Label7", 290, "销售单列表", "Image7", 281, NavigationPicture::OrderList},
        {"Label8", 343, "客户销量汇总", "Image8", 328, NavigationPicture::Summary},
        {"Label9", 396, "经营分析", "Image9", 383, NavigationPicture::Analysis},
    };
    for (size_t i = 0; i < NavLabels.size(); ++i) {
        const auto& e = entries[i];
        auto* image = new PictureBox(navigationIcon(e.picture), Panel3);
        image->setObjectName(QString::fromLatin1(e.image));
        image->move(37, e.imageTop);
        Images[i + 1] = image;

        auto* label = new NavLabel(QString::fromUtf8(e.caption), Panel3);
        label->setObjectName(QString::fromLatin1(e.label));
        label->setFont(songFont(13));
        label->move(73, e.labelTop);
        label->adjustSize();
        NavLabels[i] = label;
        connect(label, &NavLabel::mouseMoved, this, [this, label] { LabelMouseMove(label); });
    }
    // A click performs the menu item of the same function.
    QAction* const targets[] = {N15, N3, N4, N5, N8, N10, N11, N20};
    for (size_t i = 0; i < NavLabels.size(); ++i) {
        QAction* target = targets[i];
        connect(NavLabels[i], &NavLabel::clicked, this, [target] { target->trigger(); });
    }
}

void TMainForm::Timer1Timer() {
    Label1->move(Label1->x(), Label1->y() - 1);
    if (Label1->y() == 0) Label1->move(Label1->x(), Panel4->height() - 12);
}

void TMainForm::LabelMouseMove(NavLabel* label) {
    label->setHighlighted(true);
}

void TMainForm::Panel3MouseMove() {
    // Label8 first, then Label2 to Label7, and 经营分析's Label9 last.
    NavLabels[6]->setHighlighted(false);
    for (size_t i = 0; i < 6; ++i) NavLabels[i]->setHighlighted(false);
    NavLabels[7]->setHighlighted(false);
}

void TMainForm::destroyChildWindows() {
    for (QMdiSubWindow* w : ClientArea->subWindowList()) delete w;
}

void TMainForm::showAtStart() {
    // Without a window manager (a kiosk, a remote X session) nobody maximises the window, which
    // would stay at its design size in a corner with the navigation panel cut off: it takes the
    // screen's free area itself first. A window manager maximises it all the same.
    if (QScreen* where = screen()) setGeometry(where->availableGeometry());
    showMaximized();
}

void TMainForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (shown_ || event->spontaneous()) return;
    shown_ = true;
    // The login runs from the message loop, once the window is on screen.
    QMetaObject::invokeMethod(
        this, [this] { FormShow(); }, Qt::QueuedConnection);
}

}  // namespace velmora
