#pragma once

#include "platform/com/com_ptr.h"
#include "platform/com/type_library.h"

#include <windows.h>
#include <ocidl.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

// A form of a container program on Windows. The control is hosted by the system's ATL host
// window ("AtlAxWin" of atl.dll): it creates the control by its program id, activates it in
// place, sizes and draws it. The form offers each enumeration property as a choice,
// shows the property-changed notices it receives, and saves and restores the control through
// its stream.
class ContainerForm final : private IPropertyNotifySink {
public:
    ContainerForm();
    ~ContainerForm();
    ContainerForm(const ContainerForm&) = delete;
    ContainerForm& operator=(const ContainerForm&) = delete;

    // Opens the form and places a new control of `progId` on it; false with a message in
    // `error`.
    bool place(const std::wstring& progId, std::string& error);
    // Gives the control a size in pixels; the form grows to show it.
    bool setControlSize(int width, int height, std::string& error);
    // Puts a property by its name, as a script would; the control's error in `error`.
    bool putProperty(const std::wstring& name, std::int32_t value, std::string& error);

    void saveForm();
    bool restoreForm(std::string& error);

    HWND window() const { return m_form; }

private:
    bool create(IStream* saved, std::string& error);
    void release();
    void buildChoices();
    void layOut();
    void notice(const std::wstring& text);
    std::optional<std::int32_t> propertyValue(const std::wstring& name);
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    // IPropertyNotifySink; the form holds itself, so the counts are fixed.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE OnChanged(DISPID id) override;
    HRESULT STDMETHODCALLTYPE OnRequestEdit(DISPID) override { return S_OK; }

    std::wstring m_progId;
    HWND m_form = nullptr;
    HWND m_host = nullptr;
    HWND m_save = nullptr;
    HWND m_restore = nullptr;
    HWND m_noticeLabel = nullptr;
    HWND m_notices = nullptr;
    com::Ptr<IDispatch> m_control;
    com::Ptr<IConnectionPoint> m_connection;
    DWORD m_cookie = 0;
    com::Ptr<IStream> m_saved;
    int m_width = 320;  // the stage, in pixels
    int m_height = 240;
    // A property offered as a choice of its values, with its label and list on the form.
    struct Choice {
        std::wstring property;
        std::vector<std::pair<std::wstring, std::int32_t>> values;
        HWND label = nullptr;
        HWND list = nullptr;
    };
    std::vector<Choice> m_choices;
};
