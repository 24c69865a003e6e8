#pragma once

#include <QString>
#include <functional>

class QListWidget;

namespace velmora {

class ClientDataSet;

// The text of the list's selected line. Throws the list error "List index out of bounds (-1)"
// when no line is selected, so a choice without a line ends there.
QString selectedListLine(const QListWidget& list);

// Runs handler (guarded) on a double-click anywhere in the list, also on its empty part, where
// no item is hit.
void onListDoubleClick(QListWidget& list, std::function<void()> handler);

// Fills list from the dataset's rows in order: codeField, one blank, nameField.
void fillPickerList(QListWidget& list, ClientDataSet& dataSet, const char* codeField, const char* nameField);

}  // namespace velmora
