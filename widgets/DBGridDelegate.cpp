#include "widgets/DBGridDelegate.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>

#include "data/Field.h"
#include "widgets/DBEdit.h"
#include "widgets/DBGrid.h"
#include "widgets/DataSetModel.h"
#include "widgets/EditMask.h"

namespace velmora {

DBGridDelegate::DBGridDelegate(DBGrid* grid) : QStyledItemDelegate(grid), grid_(grid) {}

void DBGridDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                           const QModelIndex& index) const {
    DrawCellContext ctx;
    ctx.painter = painter;
    ctx.rect = option.rect;
    ctx.row = index.row();
    ctx.recNo = index.row() + 1;
    ctx.column = index.column();
    ctx.field = grid_->columnField(index.column());
    bool current = index == grid_->currentIndex();
    ctx.selected = current || (option.state & QStyle::State_Selected);
    ctx.focused = current && grid_->hasFocus();
    const QPalette& palette = option.palette;
    ctx.brush = ctx.selected ? palette.color(QPalette::Highlight) : palette.color(QPalette::Base);
    ctx.font = ctx.selected ? palette.color(QPalette::HighlightedText) : palette.color(QPalette::Text);

    QString text = index.data(Qt::DisplayRole).toString();
    Qt::Alignment align = Qt::Alignment(index.data(Qt::TextAlignmentRole).toInt());
    ctx.DefaultDrawColumnCell = [&ctx, text, align, &option] {
        ctx.painter->save();
        ctx.painter->fillRect(ctx.rect, ctx.brush);
        ctx.painter->setPen(ctx.font);
        ctx.painter->setFont(option.font);
        QRect inner = ctx.rect.adjusted(2, 0, -2, 0);
        QString shown = option.fontMetrics.elidedText(text, Qt::ElideRight, inner.width());
        ctx.painter->drawText(inner, static_cast<int>(align | Qt::AlignVCenter), shown);
        ctx.painter->restore();
    };
    if (grid_->drawColumnCellHook())
        grid_->drawColumnCellHook()(ctx);
    else
        ctx.DefaultDrawColumnCell();
}

QWidget* DBGridDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                      const QModelIndex& index) const {
    QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
    if (auto* line = qobject_cast<QLineEdit*>(editor)) {
        line->setFrame(false);
        if (Field* f = grid_->columnField(index.column()); f && !f->EditMask().empty())
            line->setInputMask(translateEditMask(f->EditMask()).qtMask);
    }
    return editor;
}

bool DBGridDelegate::eventFilter(QObject* object, QEvent* event) {
    auto* editor = qobject_cast<QWidget*>(object);
    if (editor && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (isEnterKey(*key)) {
            emit commitData(editor);
            if (!grid_->dataModel()->lastWriteSucceeded()) return true;  // the cell stays open
            emit closeEditor(editor, QAbstractItemDelegate::NoHint);
            grid_->runKeyPressHook(*key);
            return true;
        }
        if (key->key() != Qt::Key_Escape && key->key() != Qt::Key_Tab && key->key() != Qt::Key_Backtab &&
            !key->text().isEmpty() && grid_->runKeyPressHook(*key))
            return true;
    }
    return QStyledItemDelegate::eventFilter(object, event);
}

}  // namespace velmora
