#include "sales/PickerList.h"

#include <QEvent>
#include <QListWidget>

#include "data/ClientDataSet.h"
#include "sales/PickerLine.h"
#include "widgets/ErrorGuard.h"
#include "widgets/MessageService.h"
#include "widgets/Text.h"

namespace velmora {

namespace {

class DoubleClickWatcher : public QObject {
  public:
    DoubleClickWatcher(QObject* parent, std::function<void()> handler)
        : QObject(parent), handler_(std::move(handler)) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::MouseButtonDblClick) return QObject::eventFilter(watched, event);
        guarded(handler_);
        return true;
    }

  private:
    std::function<void()> handler_;
};

}  // namespace

void onListDoubleClick(QListWidget& list, std::function<void()> handler) {
    list.viewport()->installEventFilter(new DoubleClickWatcher(&list, std::move(handler)));
}

std::optional<QString> selectedListLine(const QListWidget& list, const QString& what) {
    const QList<QListWidgetItem*> selected = list.selectedItems();
    if (selected.isEmpty()) {
        MessageService::messageBox(QStringLiteral("请先在列表中选中一个%1。").arg(what),
                                   QStringLiteral("Velmora系统"), MB_OK | MB_ICONINFORMATION);
        return std::nullopt;
    }
    return selected.front()->text();
}

void fillPickerList(QListWidget& list, ClientDataSet& dataSet, const char* codeField, const char* nameField) {
    dataSet.First();
    for (int i = 0, n = dataSet.RecordCount(); i < n; ++i) {
        list.addItem(toQString(pickerLine(dataSet.FieldByName(codeField).AsString(),
                                          dataSet.FieldByName(nameField).AsString())));
        dataSet.Next();
    }
}

}  // namespace velmora
