#pragma once

#include <vector>

class QWidget;

namespace velmora {

// The application's open forms in the order they were created: the main window, the dialogs
// created at start-up and the child windows. Every form class registers itself while it exists;
// ShowOrCreateForm finds an open window by its class here.
class FormRegistry {
  public:
    static void add(QWidget* form);
    static void remove(QWidget* form);
    static const std::vector<QWidget*>& forms();
};

}  // namespace velmora
