#include "tools/tavorix-container/container_form_win32.h"

#include "platform/com/type_library_win32.h"
#include "platform/runtime/text.h"
#include "platform/window/window_dpi_win32.h"
#include "platform/window/window_owner_win32.h"

#include <olectl.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>

namespace {

constexpr wchar_t kFormClass[] = L"TavorixContainerForm";
constexpr int kMargin = 8;
constexpr int kSideWidth = 180;
enum : int { kSaveId = 100, kRestoreId, kFirstChoiceId };
constexpr int kChoiceHeight = 44;  // a choice's label and list

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
            const auto init =
                atl ? reinterpret_cast<BOOL(WINAPI*)()>(reinterpret_cast<void*>(::GetProcAddress(atl, "AtlAxWinInit")))
                    : nullptr;
            if (init && init()) {
                loaded.createControl = reinterpret_cast<CreateControl>(
                    reinterpret_cast<void*>(::GetProcAddress(atl, "AtlAxCreateControl")));
                loaded.getControl =
                    reinterpret_cast<GetControl>(reinterpret_cast<void*>(::GetProcAddress(atl, "AtlAxGetControl")));
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

std::wstring wide(std::u16string_view text)
{
    return {text.begin(), text.end()};
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
    const HWND made =
        ::CreateWindowExW(0, type, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, parent,
                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ::GetModuleHandleW(nullptr), nullptr);
    ::SendMessageW(made, WM_SETFONT, reinterpret_cast<WPARAM>(::GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    return made;
}

}  // namespace

ContainerForm::ContainerForm()
{
    WNDCLASSEXW type{};
    type.cbSize = sizeof type;
    type.lpfnWndProc = &ContainerForm::procedure;
    type.hInstance = ::GetModuleHandleW(nullptr);
    type.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    type.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    type.lpszClassName = kFormClass;
    ::RegisterClassExW(&type);
    m_form = ::CreateWindowExW(0, kFormClass, L"Control container", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                               0, 0, nullptr, nullptr, ::GetModuleHandleW(nullptr), this);
    m_save = child(m_form, L"BUTTON", L"Save form", BS_PUSHBUTTON | WS_TABSTOP, kSaveId);
    m_restore = child(m_form, L"BUTTON", L"Restore form", BS_PUSHBUTTON | WS_TABSTOP, kRestoreId);
    m_noticeLabel = child(m_form, L"STATIC", L"Property-changed notices:", 0, 0);
    m_notices = child(m_form, L"LISTBOX", L"", WS_BORDER | WS_VSCROLL | LBS_NOINTEGRALHEIGHT, 0);
}

ContainerForm::~ContainerForm()
{
    release();
    if (m_form) {
        ::SetWindowLongPtrW(m_form, GWLP_USERDATA, 0);
        ::DestroyWindow(m_form);
    }
}

bool ContainerForm::place(const std::wstring& progId, std::string& error)
{
    m_progId = progId;
    if (!create(nullptr, error))
        return false;
    ::SetWindowTextW(m_form, (L"Control container: " + progId).c_str());
    layOut();
    ::ShowWindow(m_form, SW_SHOW);
    return true;
}

bool ContainerForm::create(IStream* saved, std::string& error)
{
    const AtlHost* atl = AtlHost::load();
    if (!atl) {
        error = "the system's ATL host window (atl.dll) is not available";
        return false;
    }
    m_host = ::CreateWindowExW(0, L"AtlAxWin", L"", WS_CHILD | WS_VISIBLE, kMargin, kMargin, m_width, m_height, m_form,
                               nullptr, ::GetModuleHandleW(nullptr), nullptr);
    com::Ptr<IUnknown> control;
    HRESULT result = m_host ? atl->createControl(m_progId.c_str(), m_host, saved, nullptr) : E_FAIL;
    if (SUCCEEDED(result))
        result = atl->getControl(m_host, control.out());
    if (SUCCEEDED(result))
        result = control->QueryInterface(IID_IDispatch, m_control.outVoid());
    if (FAILED(result)) {
        error = "the control cannot be created: " + hresultText(result);
        release();
        return false;
    }
    // The container's sink for the control's property-changed notices.
    com::Ptr<IConnectionPointContainer> points;
    if (SUCCEEDED(m_control->QueryInterface(IID_IConnectionPointContainer, points.outVoid()))
        && SUCCEEDED(points->FindConnectionPoint(IID_IPropertyNotifySink, m_connection.out()))
        && FAILED(m_connection->Advise(static_cast<IPropertyNotifySink*>(this), &m_cookie)))
        m_connection.reset();
    buildChoices();
    return true;
}

void ContainerForm::release()
{
    if (m_connection) {
        m_connection->Unadvise(m_cookie);
        m_connection.reset();
    }
    m_control.reset();
    if (m_host) {
        ::DestroyWindow(m_host);  // the host closes and releases the control
        m_host = nullptr;
    }
}

bool ContainerForm::setControlSize(int width, int height, std::string& error)
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

bool ContainerForm::putProperty(const std::wstring& name, std::int32_t value, std::string& error)
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
        error =
            "Error " + std::to_string(number) + ": "
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

std::optional<std::int32_t> ContainerForm::propertyValue(const std::wstring& name)
{
    if (!m_control)
        return std::nullopt;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name.c_str())};
    DISPID id = 0;
    VARIANT value;
    ::VariantInit(&value);
    DISPPARAMS none{};
    if (FAILED(m_control->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id))
        || FAILED(
            m_control->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &value, nullptr, nullptr))
        || FAILED(::VariantChangeType(&value, &value, 0, VT_I4)))
        return std::nullopt;
    return value.lVal;
}

void ContainerForm::saveForm()
{
    com::Ptr<IPersistStreamInit> persist;
    if (!m_control || FAILED(m_control->QueryInterface(IID_IPersistStreamInit, persist.outVoid())))
        return;
    if (FAILED(::CreateStreamOnHGlobal(nullptr, TRUE, m_saved.out())) || FAILED(persist->Save(m_saved.get(), TRUE)))
        m_saved.reset();
    notice(m_saved ? L"Form saved" : L"Save failed");
}

bool ContainerForm::restoreForm(std::string& error)
{
    if (!m_saved) {
        error = "no form was saved";
        return false;
    }
    // A new control from the saved stream, as a container does when it opens a saved form.
    release();
    const LARGE_INTEGER start{};
    m_saved->Seek(start, STREAM_SEEK_SET, nullptr);
    if (!create(m_saved.get(), error))
        return false;
    layOut();
    notice(L"Form restored");
    return true;
}

void ContainerForm::buildChoices()
{
    for (const Choice& choice : m_choices) {
        ::DestroyWindow(choice.label);
        ::DestroyWindow(choice.list);
    }
    m_choices.clear();
    // The control's type library, read as the system reads any: its enumeration properties are
    // the choices.
    com::Ptr<ITypeInfo> info;
    com::Ptr<ITypeLib> library;
    UINT index = 0;
    std::string error;
    if (!m_control || FAILED(m_control->GetTypeInfo(0, LOCALE_USER_DEFAULT, info.out()))
        || FAILED(info->GetContainingTypeLib(library.out(), &index)))
        return;
    const auto described = com::readTypeLibrary(*library.get(), error);
    if (!described)
        return;
    const std::wstring interfaceName = nameOf(info.get(), MEMBERID_NIL);
    com::Ptr<IPerPropertyBrowsing> browsing;
    m_control->QueryInterface(IID_IPerPropertyBrowsing, browsing.outVoid());
    for (const com::EnumeratedProperty& property :
         com::enumeratedProperties(*described, std::u16string(interfaceName.begin(), interfaceName.end()))) {
        Choice choice{wide(property.name), {}};
        for (const auto& [name, value] : property.values)
            choice.values.emplace_back(wide(name), value);
        // The control's own names for the values, when it gives them, are the exact ones: a
        // type library file carries names only in ASCII.
        DISPID id = DISPID_UNKNOWN;
        LPOLESTR asked = choice.property.data();
        CALPOLESTR names{};
        CADWORD values{};
        if (browsing && SUCCEEDED(m_control->GetIDsOfNames(IID_NULL, &asked, 1, LOCALE_USER_DEFAULT, &id))
            && SUCCEEDED(browsing->GetPredefinedStrings(id, &names, &values))) {
            for (ULONG i = 0; i < names.cElems; ++i) {
                for (auto& [name, value] : choice.values) {
                    if (names.pElems[i] && value == static_cast<LONG>(values.pElems[i]))
                        name = names.pElems[i];
                }
                ::CoTaskMemFree(names.pElems[i]);
            }
            ::CoTaskMemFree(names.pElems);
            ::CoTaskMemFree(values.pElems);
        }
        choice.label = child(m_form, L"STATIC", (choice.property + L":").c_str(), 0, 0);
        choice.list = child(m_form, L"COMBOBOX", L"", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP,
                            kFirstChoiceId + static_cast<int>(m_choices.size()));
        for (const auto& [name, value] : choice.values)
            ::SendMessageW(choice.list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
        m_choices.push_back(std::move(choice));
    }
    OnChanged(DISPID_UNKNOWN);  // shows the values in force
}

void ContainerForm::layOut()
{
    // Sizes in pixels of 96 dots per inch, the control's among them, shown at the form's own.
    const int dpi = win32::windowDpi(m_form);
    const auto px = [dpi](int pixels) { return ::MulDiv(pixels, dpi, USER_DEFAULT_SCREEN_DPI); };
    const int side = kMargin + m_width + 2 * kMargin;
    ::MoveWindow(m_host, px(kMargin), px(kMargin), px(m_width), px(m_height), TRUE);
    int top = kMargin;
    for (const Choice& choice : m_choices) {
        ::MoveWindow(choice.label, px(side), px(top), px(kSideWidth), px(16), TRUE);
        ::MoveWindow(choice.list, px(side), px(top + 18), px(kSideWidth), px(200), TRUE);
        top += kChoiceHeight;
    }
    ::MoveWindow(m_save, px(side), px(top + 8), px(kSideWidth), px(26), TRUE);
    ::MoveWindow(m_restore, px(side), px(top + 38), px(kSideWidth), px(26), TRUE);
    ::MoveWindow(m_noticeLabel, px(side), px(top + 74), px(kSideWidth), px(16), TRUE);
    const int listTop = top + 92;
    const int listHeight = std::max(120, m_height - listTop);
    ::MoveWindow(m_notices, px(side), px(listTop), px(kSideWidth), px(listHeight), TRUE);
    RECT frame{0, 0, px(side + kSideWidth + kMargin), px(std::max(m_height, listTop + listHeight) + 2 * kMargin)};
    ::AdjustWindowRect(&frame, WS_OVERLAPPEDWINDOW, FALSE);
    ::SetWindowPos(m_form, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void ContainerForm::notice(const std::wstring& text)
{
    const LRESULT index = ::SendMessageW(m_notices, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    ::SendMessageW(m_notices, LB_SETTOPINDEX, static_cast<WPARAM>(index), 0);
}

HRESULT STDMETHODCALLTYPE ContainerForm::QueryInterface(REFIID iid, void** object)
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

HRESULT STDMETHODCALLTYPE ContainerForm::OnChanged(DISPID id)
{
    if (id != DISPID_UNKNOWN && m_control) {
        com::Ptr<ITypeInfo> info;
        std::wstring name = L"?";
        if (SUCCEEDED(m_control->GetTypeInfo(0, LOCALE_USER_DEFAULT, info.out())))
            name = nameOf(info.get(), id);
        wchar_t number[16];
        std::swprintf(number, 16, L"0x%08lX", static_cast<unsigned long>(id));
        notice(name + L" changed (" + number + L")");
    }
    for (const Choice& choice : m_choices) {
        const auto value = propertyValue(choice.property);
        const auto chosen = std::find_if(choice.values.begin(), choice.values.end(),
                                         [&](const auto& named) { return value && named.second == *value; });
        ::SendMessageW(choice.list, CB_SETCURSEL,
                       chosen == choice.values.end() ? static_cast<WPARAM>(-1)
                                                     : static_cast<WPARAM>(chosen - choice.values.begin()),
                       0);
    }
    return S_OK;
}

LRESULT CALLBACK ContainerForm::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = win32::windowOwner<ContainerForm>(window, message, lParam);
    if (!self)
        return ::DefWindowProcW(window, message, wParam, lParam);
    switch (message) {
    case WM_COMMAND:
        if (const auto which = static_cast<std::size_t>(LOWORD(wParam) - kFirstChoiceId);
            LOWORD(wParam) >= kFirstChoiceId && which < self->m_choices.size()) {
            const Choice& choice = self->m_choices[which];
            const auto index = ::SendMessageW(choice.list, CB_GETCURSEL, 0, 0);
            std::string error;
            if (HIWORD(wParam) == CBN_SELCHANGE && index >= 0 && static_cast<std::size_t>(index) < choice.values.size()
                && !self->putProperty(choice.property, choice.values[static_cast<std::size_t>(index)].second, error))
                self->notice(wide(runtime::fromUtf8(error)));
            return 0;
        }
        switch (LOWORD(wParam)) {
        case kSaveId: self->saveForm(); return 0;
        case kRestoreId: {
            std::string error;
            if (!self->restoreForm(error))
                self->notice(wide(runtime::fromUtf8("Restore failed: " + error)));
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
