#include "widgets/FormRegistry.h"

#include <algorithm>

namespace velmora {

namespace {
std::vector<QWidget*>& registry() {
    static std::vector<QWidget*> forms;
    return forms;
}
}  // namespace

void FormRegistry::add(QWidget* form) {
    if (std::find(registry().begin(), registry().end(), form) == registry().end()) registry().push_back(form);
}

void FormRegistry::remove(QWidget* form) {
    registry().erase(std::remove(registry().begin(), registry().end(), form), registry().end());
}

const std::vector<QWidget*>& FormRegistry::forms() {
    return registry();
}

}  // namespace velmora
