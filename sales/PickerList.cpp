#include "PickerList.h"

#include <QListWidget>

#include "ClientDataSet.h"
#include "Errors.h"
#include "PickerLine.h"
#include "Text.h"

namespace velmora {

QString selectedListLine(const QListWidget& list) {
    const QList<QListWidgetItem*> selected = list.selectedItems();
    if (selected.isEmpty()) throw VelmoraError(formatText("List index out of bounds (%d)", -1));
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
