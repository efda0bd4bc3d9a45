#include "platform/com/com_object_win32.h"

#include "platform/com/com_ptr.h"

#include <oleauto.h>

#include <cstdio>
#include <string>

namespace com {

HRESULT raise(const runtime::RuntimeError& error, std::u16string_view source, REFIID iid)
{
    Ptr<ICreateErrorInfo> creating;
    if (SUCCEEDED(::CreateErrorInfo(creating.out()))) {
        creating->SetGUID(iid);
        std::wstring from(source.begin(), source.end());
        creating->SetSource(from.data());
        std::wstring description(error.description().begin(), error.description().end());
        creating->SetDescription(description.data());
        Ptr<IErrorInfo> info;
        if (SUCCEEDED(creating->QueryInterface(IID_IErrorInfo, info.outVoid())))
            ::SetErrorInfo(0, info.get());
    }
    return MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, static_cast<unsigned>(error.number()) & 0xFFFF);
}

std::string describeFailure(const char* step, std::u16string_view name, HRESULT result)
{
    char code[16];
    std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(result));
    std::string text(step);
    text += " ";
    for (const char16_t c : name)
        text += c < 0x80 ? static_cast<char>(c) : '?';
    return text + " failed: " + code;
}

}  // namespace com
