#pragma once

#include <QString>
#include <functional>
#include <optional>

class QListWidget;

namespace velmora {

class ClientDataSet;

// The text of the list's selected line. Without one it asks the user to select a line first
// ("请先在列表中选中一个" + what + "。") and returns nothing, so a choice without a line ends there.
std::optional<QString> selectedListLine(const QListWidget& list, const QString& what);

// Runs handler (guarded) on a double-click anywhere in the list, also on its empty part, where
// no item is hit.
void onListDoubleClick(QListWidget& list, std::function<void()> handler);

// Fills list from the dataset's rows in order: codeField, one blank, nameField.
void fillPickerList(QListWidget& list, ClientDataSet& dataSet, const char* codeField, const char* nameField);

}  // namespace velmora
