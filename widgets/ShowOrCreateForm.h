#pragma once

#include <new>
#include <type_traits>
#include <typeinfo>
#include <utility>

#include "widgets/FormRegistry.h"
#include "widgets/MdiChildForm.h"

namespace velmora {

// Brings the open window of exactly class T (not a subclass) to the front, restoring it when it
// is minimised, or creates one with the constructor arguments (owner, args...). A new window is
// stored in reference before its constructor runs, so that code running during construction
// already finds it there; the reference is cleared again when that window is destroyed.
// reference must outlive the window (a global).
template <typename T, typename... Args>
T* ShowOrCreateForm(T*& reference, QWidget* owner, Args&&... args) {
    static_assert(std::is_base_of_v<MdiChildForm, T>, "ShowOrCreateForm opens child windows");
    for (QWidget* open : FormRegistry::forms()) {
        if (typeid(*open) != typeid(T)) continue;
        T* form = static_cast<T*>(open);
        form->restoreOrShowWithoutActivating();
        form->makeVisible();
        form->bringToFrontAndFocus();
        reference = form;
        return form;
    }

    static_assert(alignof(T) <= __STDCPP_DEFAULT_NEW_ALIGNMENT__);
    void* memory = ::operator new(sizeof(T));
    reference = static_cast<T*>(memory);
    MdiChildForm::setNextReferenceClearer([&reference, memory] {
        if (static_cast<void*>(reference) == memory) reference = nullptr;
    });
    T* form = nullptr;
    try {
        form = new (memory) T(owner, std::forward<Args>(args)...);
    } catch (...) {
        MdiChildForm::setNextReferenceClearer(nullptr);
        reference = nullptr;
        ::operator delete(memory);
        throw;
    }
    form->Show();
    return form;
}

}  // namespace velmora
