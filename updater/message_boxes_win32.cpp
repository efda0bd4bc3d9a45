#include "updater/message_boxes_win32.h"

namespace {

const wchar_t* wide(const std::u16string& text)
{
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

}  // namespace

void Win32MessageBoxes::show(const std::u16string& text, const std::u16string& title, MessageIcon icon)
{
    const UINT shown = icon == MessageIcon::Information   ? MB_ICONINFORMATION
                       : icon == MessageIcon::Exclamation ? MB_ICONEXCLAMATION
                                                          : MB_ICONERROR;
    ::MessageBoxW(m_owner, wide(text), wide(title.empty() ? m_applicationTitle : title), MB_OK | shown);
}
