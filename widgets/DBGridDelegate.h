#pragma once

#include <QStyledItemDelegate>

namespace velmora {

class DBGrid;

// Paints the cells of a DBGrid (through its drawing hook when it has one) and runs its cell
// editors: Enter stores the cell into its field and then goes to the grid's key hook.
class DBGridDelegate : public QStyledItemDelegate {
    Q_OBJECT

  public:
    explicit DBGridDelegate(DBGrid* grid);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;

  protected:
    bool eventFilter(QObject* object, QEvent* event) override;

  private:
    DBGrid* grid_;
};

}  // namespace velmora
