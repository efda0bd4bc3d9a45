#pragma once

#include "updater/update_view.h"

#include <windows.h>

// Message boxes of the system (MessageBoxW), modal over the window.
class Win32MessageBoxes : public MessageBoxes {
public:
    // `applicationTitle` is what a box without a title of its own shows.
    explicit Win32MessageBoxes(std::u16string applicationTitle) : m_applicationTitle(std::move(applicationTitle)) {}
    void setOwner(HWND owner) { m_owner = owner; }
    void show(const std::u16string& text, const std::u16string& title, MessageIcon icon) override;

private:
    std::u16string m_applicationTitle;
    HWND m_owner = nullptr;
};
