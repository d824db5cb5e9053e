// Finding a dialog's controls by object name in GUI tests.
#pragma once

#include <QObject>
#include <QString>

#include <stdexcept>
#include <string>

namespace gearloft::testing {

// The child of parent named id, of type T. A missing or wrongly typed control
// ends the running test at once as failed: the exception is reported by
// GoogleTest as that test's failure, so no caller goes on with a null pointer
// and takes the whole test program down with it.
template <typename T>
T* FindControl(const QObject& parent, const char* id) {
    T* control = parent.findChild<T*>(QLatin1String(id));
    if (control == nullptr) {
        throw std::runtime_error(std::string("no ") + T::staticMetaObject.className() + " named " +
                                 id);
    }
    return control;
}

}  // namespace gearloft::testing
