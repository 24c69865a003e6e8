#include "widgets/DBNavigator.h"

#include <QHBoxLayout>
#include <QToolButton>

#include "data/ClientDataSet.h"
#include "data/DataSource.h"
#include "widgets/ButtonKeys.h"
#include "widgets/ErrorGuard.h"
#include "widgets/Glyphs.h"

namespace velmora {

DBNavigator::DBNavigator(QWidget* parent) : QWidget(parent) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    const struct {
        NavigatorGlyph glyph;
        const char* name;
        const char* hint;
    } buttons[] = {
        {NavigatorGlyph::First, "First", "第一条记录"},
        {NavigatorGlyph::Prior, "Prior", "上一条记录"},
        {NavigatorGlyph::Next, "Next", "下一条记录"},
        {NavigatorGlyph::Last, "Last", "最后一条记录"},
    };
    for (int i = 0; i < 4; ++i) {
        auto* b = new QToolButton(this);
        b->setObjectName(QString::fromLatin1(buttons[i].name));
        b->setIcon(QIcon(navigatorGlyph(buttons[i].glyph)));
        b->setToolTip(QString::fromUtf8(buttons[i].hint));
        b->setAccessibleName(QString::fromUtf8(buttons[i].hint));
        b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        b->setFocusPolicy(Qt::NoFocus);
        giveButtonKey(b);
        auto which = static_cast<Button>(i);
        connect(b, &QToolButton::clicked, this, [this, which] { BtnClick(which); });
        layout->addWidget(b);
        buttons_[static_cast<size_t>(i)] = b;
    }
    updateButtons();
}

DBNavigator::~DBNavigator() {
    if (dataSet_) dataSet_->removeObserver(this);
}

void DBNavigator::setDataSource(DataSource* source) {
    if (dataSet_) dataSet_->removeObserver(this);
    source_ = source;
    dataSet_ = source ? source->DataSet() : nullptr;
    if (dataSet_) dataSet_->addObserver(this);
    updateButtons();
}

void DBNavigator::setFlat(bool flat) {
    for (QToolButton* b : buttons_) b->setAutoRaise(flat);
}

void DBNavigator::BtnClick(Button which) {
    if (!dataSet_) return;
    guarded([&] {
        switch (which) {
            case nbFirst:
                dataSet_->First();
                break;
            case nbPrior:
                dataSet_->Prior();
                break;
            case nbNext:
                dataSet_->Next();
                break;
            case nbLast:
                dataSet_->Last();
                break;
        }
    });
    updateButtons();
}

void DBNavigator::updateButtons() {
    bool active = dataSet_ && dataSet_->Active();
    bool up = active && !dataSet_->Bof();
    bool down = active && !dataSet_->Eof();
    buttons_[nbFirst]->setEnabled(up);
    buttons_[nbPrior]->setEnabled(up);
    buttons_[nbNext]->setEnabled(down);
    buttons_[nbLast]->setEnabled(down);
}

}  // namespace velmora
