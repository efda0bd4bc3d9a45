#pragma once

#include <windows.h>
#include <ocidl.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

// A form of a container program on Windows. The control is hosted by the system's ATL host
// window ("AtlAxWin" of atl.dll): it creates the control by its program id, activates it in
// place, sizes and draws it. The form offers the control's enumeration property as a choice,
// shows the property-changed notices it receives, and saves and restores the control through
// its stream.
class Win32ContainerForm final : private IPropertyNotifySink {
public:
    Win32ContainerForm();
    ~Win32ContainerForm();
    Win32ContainerForm(const Win32ContainerForm&) = delete;
    Win32ContainerForm& operator=(const Win32ContainerForm&) = delete;

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
    std::optional<std::int32_t> styleValue();
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
    HWND m_choiceLabel = nullptr;
    HWND m_choice = nullptr;
    HWND m_save = nullptr;
    HWND m_restore = nullptr;
    HWND m_noticeLabel = nullptr;
    HWND m_notices = nullptr;
    IDispatch* m_control = nullptr;
    IConnectionPoint* m_connection = nullptr;
    DWORD m_cookie = 0;
    IStream* m_saved = nullptr;
    int m_width = 320;  // the stage, in pixels
    int m_height = 240;
    std::wstring m_choiceProperty;
    std::vector<std::pair<std::wstring, std::int32_t>> m_choices;
};
