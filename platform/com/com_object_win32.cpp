#include "platform/com/com_object_win32.h"

#include "platform/com/com_ptr.h"

#include <oleauto.h>

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

}  // namespace com
