#pragma once

#include <QString>

class QListWidget;

namespace velmora {

// The text of the list's selected line. Throws the list error "List index out of bounds (-1)"
// when no line is selected, so a choice without a line ends there.
QString selectedListLine(const QListWidget& list);

// Fills list from the dataset's rows in order: codeField, one blank, nameField.
class ClientDataSet;
void fillPickerList(QListWidget& list, ClientDataSet& dataSet, const char* codeField, const char* nameField);

}  // namespace velmora
