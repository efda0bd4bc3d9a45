#pragma once

#include <QString>
#include <QWidget>

#include <stdexcept>
#include <string>

// The control of `window` that its layout names `name`: a test that looks for a control the
// window lacks, or one of another kind, fails at once.
template <typename T = QWidget>
T* named(const QWidget& window, const char* name)
{
    T* found = window.findChild<T*>(QString::fromLatin1(name));
    if (!found)
        throw std::logic_error(std::string("the window has no control named ") + name + " of that kind");
    return found;
}
