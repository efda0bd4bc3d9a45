#include "tools/tavorix-container/win32_container_form.h"

#include "platform/controls/window_dpi_win32.h"
#include "platform/runtime/text.h"

#include <olectl.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>

namespace {

constexpr wchar_t kFormClass[] = L"TavorixContainerForm";
constexpr int kMargin = 8;
constexpr int kSideWidth = 180;
enum : int { kChoiceId = 100, kSaveId, kRestoreId };

// The system's ATL host window, from atl.dll.
struct AtlHost {
    using CreateControl = HRESULT(WINAPI*)(LPCOLESTR, HWND, IStream*, IUnknown**);
    using GetControl = HRESULT(WINAPI*)(HWND, IUnknown**);
    CreateControl createControl = nullptr;
    GetControl getControl = nullptr;

    static const AtlHost* load()
    {
        static const AtlHost host = [] {
            AtlHost loaded;
            const HMODULE atl = ::LoadLibraryW(L"atl.dll");
            const auto init = atl ? reinterpret_cast<BOOL(WINAPI*)()>(reinterpret_cast<void*>(::GetProcAddress(atl, "AtlAxWinInit"))) : nullptr;
            if (init && init()) {
                loaded.createControl = reinterpret_cast<CreateControl>(reinterpret_cast<void*>(::GetProcAddress(atl, "AtlAxCreateControl")));
                loaded.getControl = reinterpret_cast<GetControl>(reinterpret_cast<void*>(::GetProcAddress(atl, "AtlAxGetControl")));
            }
            return loaded;
        }();
        return host.createControl && host.getControl ? &host : nullptr;
    }
};

std::string hresultText(HRESULT result)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(result));
    return text;
}

std::string utf8(const wchar_t* text, std::size_t length)
{
    return runtime::toUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(text), length));
}

std::wstring nameOf(ITypeInfo* info, MEMBERID member)
{
    BSTR name = nullptr;
    info->GetDocumentation(member, &name, nullptr, nullptr, nullptr);
    std::wstring result = name ? std::wstring(name, ::SysStringLen(name)) : std::wstring();
    ::SysFreeString(name);
    return result;
}

HWND child(HWND parent, const wchar_t* type, const wchar_t* text, DWORD style, int id)
{
    const HWND made = ::CreateWindowExW(0, type, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, parent,
                                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                        ::GetModuleHandleW(nullptr), nullptr);
    ::SendMessageW(made, WM_SETFONT, reinterpret_cast<WPARAM>(::GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    return made;
}

}  // namespace

Win32ContainerForm::Win32ContainerForm()
{
    WNDCLASSEXW type{};
    type.cbSize = sizeof type;
    type.lpfnWndProc = &Win32ContainerForm::procedure;
    type.hInstance = ::GetModuleHandleW(nullptr);
    type.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    type.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    type.lpszClassName = kFormClass;
    ::RegisterClassExW(&type);
    m_form = ::CreateWindowExW(0, kFormClass, L"Control container", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                               0, 0, nullptr, nullptr, ::GetModuleHandleW(nullptr), this);
    m_choiceLabel = child(m_form, L"STATIC", L"", 0, 0);
    m_choice = child(m_form, L"COMBOBOX", L"", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, kChoiceId);
    m_save = child(m_form, L"BUTTON", L"Save form", BS_PUSHBUTTON | WS_TABSTOP, kSaveId);
    m_restore = child(m_form, L"BUTTON", L"Restore form", BS_PUSHBUTTON | WS_TABSTOP, kRestoreId);
    m_noticeLabel = child(m_form, L"STATIC", L"Property-changed notices:", 0, 0);
    m_notices = child(m_form, L"LISTBOX", L"", WS_BORDER | WS_VSCROLL | LBS_NOINTEGRALHEIGHT, 0);
}

Win32ContainerForm::~Win32ContainerForm()
{
    release();
    if (m_saved)
        m_saved->Release();
    if (m_form) {
        ::SetWindowLongPtrW(m_form, GWLP_USERDATA, 0);
        ::DestroyWindow(m_form);
    }
}

bool Win32ContainerForm::place(const std::wstring& progId, std::string& error)
{
    m_progId = progId;
    if (!create(nullptr, error))
        return false;
    ::SetWindowTextW(m_form, (L"Control container: " + progId).c_str());
    layOut();
    ::ShowWindow(m_form, SW_SHOW);
    return true;
}

bool Win32ContainerForm::create(IStream* saved, std::string& error)
{
    const AtlHost* atl = AtlHost::load();
    if (!atl) {
        error = "the system's ATL host window (atl.dll) is not available";
        return false;
    }
    m_host = ::CreateWindowExW(0, L"AtlAxWin", L"", WS_CHILD | WS_VISIBLE, kMargin, kMargin, m_width, m_height,
                               m_form, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    IUnknown* control = nullptr;
    HRESULT result = m_host ? atl->createControl(m_progId.c_str(), m_host, saved, nullptr) : E_FAIL;
    if (SUCCEEDED(result))
        result = atl->getControl(m_host, &control);
    if (SUCCEEDED(result)) {
        result = control->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&m_control));
        control->Release();
    }
    if (FAILED(result)) {
        error = "the control cannot be created: " + hresultText(result);
        release();
        return false;
    }
    // The container's sink for the control's property-changed notices.
    IConnectionPointContainer* points = nullptr;
    if (SUCCEEDED(m_control->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&points)))) {
        if (SUCCEEDED(points->FindConnectionPoint(IID_IPropertyNotifySink, &m_connection))
            && FAILED(m_connection->Advise(static_cast<IPropertyNotifySink*>(this), &m_cookie))) {
            m_connection->Release();
            m_connection = nullptr;
        }
        points->Release();
    }
    buildChoices();
    return true;
}

void Win32ContainerForm::release()
{
    if (m_connection) {
        m_connection->Unadvise(m_cookie);
        m_connection->Release();
        m_connection = nullptr;
    }
    if (m_control) {
        m_control->Release();
        m_control = nullptr;
    }
    if (m_host) {
        ::DestroyWindow(m_host);  // the host closes and releases the control
        m_host = nullptr;
    }
}

bool Win32ContainerForm::setControlSize(int width, int height, std::string& error)
{
    if (width <= 0 || height <= 0 || !m_host) {
        error = "no size of that kind can be given";
        return false;
    }
    m_width = width;
    m_height = height;
    ::SetWindowPos(m_host, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    layOut();
    return true;
}

bool Win32ContainerForm::putProperty(const std::wstring& name, std::int32_t value, std::string& error)
{
    if (!m_control) {
        error = "no control is placed";
        return false;
    }
    LPOLESTR names[] = {const_cast<LPOLESTR>(name.c_str())};
    DISPID id = 0;
    HRESULT result = m_control->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(result)) {
        error = "the control has no property " + utf8(name.c_str(), name.size());
        return false;
    }
    VARIANT argument;
    ::VariantInit(&argument);
    argument.vt = VT_I4;
    argument.lVal = value;
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS parameters{&argument, &named, 1, 1};
    EXCEPINFO exception{};
    result = m_control->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &parameters, nullptr,
                               &exception, nullptr);
    if (SUCCEEDED(result))
        return true;
    if (result == DISP_E_EXCEPTION) {
        if (exception.pfnDeferredFillIn)
            exception.pfnDeferredFillIn(&exception);
        const HRESULT code = exception.scode ? exception.scode : static_cast<HRESULT>(exception.wCode);
        const int number = HRESULT_FACILITY(code) == FACILITY_CONTROL ? HRESULT_CODE(code) : code;
        error = "Error " + std::to_string(number) + ": "
                + (exception.bstrDescription ? utf8(exception.bstrDescription, ::SysStringLen(exception.bstrDescription))
                                             : std::string());
        ::SysFreeString(exception.bstrSource);
        ::SysFreeString(exception.bstrDescription);
        ::SysFreeString(exception.bstrHelpFile);
    } else {
        error = "the property cannot be put: " + hresultText(result);
    }
    return false;
}

std::optional<std::int32_t> Win32ContainerForm::styleValue()
{
    if (!m_control || m_choiceProperty.empty())
        return std::nullopt;
    LPOLESTR names[] = {m_choiceProperty.data()};
    DISPID id = 0;
    VARIANT value;
    ::VariantInit(&value);
    DISPPARAMS none{};
    if (FAILED(m_control->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id))
        || FAILED(m_control->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &value, nullptr,
                                    nullptr))
        || FAILED(::VariantChangeType(&value, &value, 0, VT_I4)))
        return std::nullopt;
    return value.lVal;
}

void Win32ContainerForm::saveForm()
{
    IPersistStreamInit* persist = nullptr;
    if (!m_control || FAILED(m_control->QueryInterface(IID_IPersistStreamInit, reinterpret_cast<void**>(&persist))))
        return;
    if (m_saved)
        m_saved->Release();
    m_saved = nullptr;
    if (SUCCEEDED(::CreateStreamOnHGlobal(nullptr, TRUE, &m_saved)) && FAILED(persist->Save(m_saved, TRUE))) {
        m_saved->Release();
        m_saved = nullptr;
    }
    persist->Release();
    notice(m_saved ? L"Form saved" : L"Save failed");
}

bool Win32ContainerForm::restoreForm(std::string& error)
{
    if (!m_saved) {
        error = "no form was saved";
        return false;
    }
    // A new control from the saved stream, as a container does when it opens a saved form.
    release();
    const LARGE_INTEGER start{};
    m_saved->Seek(start, STREAM_SEEK_SET, nullptr);
    if (!create(m_saved, error))
        return false;
    layOut();
    notice(L"Form restored");
    return true;
}

void Win32ContainerForm::buildChoices()
{
    m_choiceProperty.clear();
    m_choices.clear();
    ::SendMessageW(m_choice, CB_RESETCONTENT, 0, 0);
    ITypeInfo* info = nullptr;
    TYPEATTR* attributes = nullptr;
    if (!m_control || FAILED(m_control->GetTypeInfo(0, LOCALE_USER_DEFAULT, &info)))
        return;
    // The first property put as an enumeration: its constants are the choices.
    if (SUCCEEDED(info->GetTypeAttr(&attributes))) {
        for (UINT i = 0; i < attributes->cFuncs && m_choices.empty(); ++i) {
            FUNCDESC* function = nullptr;
            if (FAILED(info->GetFuncDesc(i, &function)))
                continue;
            ITypeInfo* enumeration = nullptr;
            TYPEATTR* enumerationAttributes = nullptr;
            if (function->invkind == INVOKE_PROPERTYPUT && function->cParams == 1
                && function->lprgelemdescParam[0].tdesc.vt == VT_USERDEFINED
                && SUCCEEDED(info->GetRefTypeInfo(function->lprgelemdescParam[0].tdesc.hreftype, &enumeration))
                && SUCCEEDED(enumeration->GetTypeAttr(&enumerationAttributes))) {
                if (enumerationAttributes->typekind == TKIND_ENUM) {
                    m_choiceProperty = nameOf(info, function->memid);
                    for (UINT v = 0; v < enumerationAttributes->cVars; ++v) {
                        VARDESC* constant = nullptr;
                        if (FAILED(enumeration->GetVarDesc(v, &constant)))
                            continue;
                        m_choices.emplace_back(nameOf(enumeration, constant->memid), constant->lpvarValue->lVal);
                        enumeration->ReleaseVarDesc(constant);
                    }
                }
                enumeration->ReleaseTypeAttr(enumerationAttributes);
            }
            if (enumeration)
                enumeration->Release();
            info->ReleaseFuncDesc(function);
        }
        info->ReleaseTypeAttr(attributes);
    }
    info->Release();
    // The control's own names for the values, when it gives them, are the exact ones: a type
    // library file carries names only in ASCII.
    IPerPropertyBrowsing* browsing = nullptr;
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR property = m_choiceProperty.data();
    if (!m_choices.empty() && SUCCEEDED(m_control->GetIDsOfNames(IID_NULL, &property, 1, LOCALE_USER_DEFAULT, &id))
        && SUCCEEDED(m_control->QueryInterface(IID_IPerPropertyBrowsing, reinterpret_cast<void**>(&browsing)))) {
        CALPOLESTR names{};
        CADWORD values{};
        if (SUCCEEDED(browsing->GetPredefinedStrings(id, &names, &values))) {
            for (ULONG i = 0; i < names.cElems; ++i) {
                for (auto& [name, value] : m_choices) {
                    if (names.pElems[i] && value == static_cast<LONG>(values.pElems[i]))
                        name = names.pElems[i];
                }
                ::CoTaskMemFree(names.pElems[i]);
            }
            ::CoTaskMemFree(names.pElems);
            ::CoTaskMemFree(values.pElems);
        }
        browsing->Release();
    }
    ::SetWindowTextW(m_choiceLabel, (m_choiceProperty + L":").c_str());
    for (const auto& [name, value] : m_choices)
        ::SendMessageW(m_choice, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
    OnChanged(DISPID_UNKNOWN);  // shows the value in force
}

void Win32ContainerForm::layOut()
{
    // Sizes in pixels of 96 dots per inch, the control's among them, shown at the form's own.
    const int dpi = controls::windowDpi(m_form);
    const auto px = [dpi](int pixels) { return ::MulDiv(pixels, dpi, USER_DEFAULT_SCREEN_DPI); };
    const int side = kMargin + m_width + 2 * kMargin;
    ::MoveWindow(m_host, px(kMargin), px(kMargin), px(m_width), px(m_height), TRUE);
    ::MoveWindow(m_choiceLabel, px(side), px(kMargin), px(kSideWidth), px(16), TRUE);
    ::MoveWindow(m_choice, px(side), px(kMargin + 18), px(kSideWidth), px(200), TRUE);
    ::MoveWindow(m_save, px(side), px(kMargin + 52), px(kSideWidth), px(26), TRUE);
    ::MoveWindow(m_restore, px(side), px(kMargin + 82), px(kSideWidth), px(26), TRUE);
    ::MoveWindow(m_noticeLabel, px(side), px(kMargin + 118), px(kSideWidth), px(16), TRUE);
    const int listHeight = std::max(120, m_height - 136);
    ::MoveWindow(m_notices, px(side), px(kMargin + 136), px(kSideWidth), px(listHeight), TRUE);
    RECT frame{0, 0, px(side + kSideWidth + kMargin), px(std::max(m_height, 136 + listHeight) + 2 * kMargin)};
    ::AdjustWindowRect(&frame, WS_OVERLAPPEDWINDOW, FALSE);
    ::SetWindowPos(m_form, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32ContainerForm::notice(const std::wstring& text)
{
    const LRESULT index = ::SendMessageW(m_notices, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    ::SendMessageW(m_notices, LB_SETTOPINDEX, static_cast<WPARAM>(index), 0);
}

HRESULT STDMETHODCALLTYPE Win32ContainerForm::QueryInterface(REFIID iid, void** object)
{
    if (!object)
        return E_POINTER;
    if (iid != IID_IUnknown && iid != IID_IPropertyNotifySink) {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    *object = static_cast<IPropertyNotifySink*>(this);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE Win32ContainerForm::OnChanged(DISPID id)
{
    if (id != DISPID_UNKNOWN && m_control) {
        ITypeInfo* info = nullptr;
        std::wstring name = L"?";
        if (SUCCEEDED(m_control->GetTypeInfo(0, LOCALE_USER_DEFAULT, &info))) {
            name = nameOf(info, id);
            info->Release();
        }
        wchar_t number[16];
        std::swprintf(number, 16, L"0x%08lX", static_cast<unsigned long>(id));
        notice(name + L" changed (" + number + L")");
    }
    const auto value = styleValue();
    const auto chosen = std::find_if(m_choices.begin(), m_choices.end(),
                                     [&](const auto& choice) { return value && choice.second == *value; });
    ::SendMessageW(m_choice, CB_SETCURSEL,
                   chosen == m_choices.end() ? static_cast<WPARAM>(-1)
                                             : static_cast<WPARAM>(chosen - m_choices.begin()),
                   0);
    return S_OK;
}

LRESULT CALLBACK Win32ContainerForm::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        const auto* creation = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(creation->lpCreateParams));
    }
    auto* self = reinterpret_cast<Win32ContainerForm*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self)
        return ::DefWindowProcW(window, message, wParam, lParam);
    switch (message) {
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case kChoiceId:
            if (HIWORD(wParam) == CBN_SELCHANGE) {
                const auto index = ::SendMessageW(self->m_choice, CB_GETCURSEL, 0, 0);
                std::string error;
                if (index >= 0 && static_cast<std::size_t>(index) < self->m_choices.size()
                    && !self->putProperty(self->m_choiceProperty, self->m_choices[static_cast<std::size_t>(index)].second,
                                          error)) {
                    const std::u16string text = runtime::fromUtf8(error);
                    self->notice(std::wstring(text.begin(), text.end()));
                }
            }
            return 0;
        case kSaveId:
            self->saveForm();
            return 0;
        case kRestoreId: {
            std::string error;
            if (!self->restoreForm(error)) {
                const std::u16string text = runtime::fromUtf8("Restore failed: " + error);
                self->notice(std::wstring(text.begin(), text.end()));
            }
            return 0;
        }
        }
        break;
    case WM_DPICHANGED:
        self->layOut();  // at the resolution of the monitor it moved to
        return 0;
    case WM_DESTROY:
        self->release();
        self->m_form = nullptr;
        ::PostQuitMessage(0);
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}
