#pragma once

#include "updater/controls_win32.h"
#include "updater/update_view.h"
#include "updater/updater_core.h"
#include "updater/updater_setup.h"
#include "updater/window_layout.h"

#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

// The updater's one window on Win32, made from the stored layout as the Qt view makes it:
// every control in the layout's order with its text, position, size, font, tab order and
// initial state. The window shows and forwards; the download control and the decisions are its
// UpdaterCore's.
class frmGuncel : private UpdateView {
public:
    // The setup's services and the program's boxes must outlive the window. Throws std::logic_error when
    // the stored layout lacks one of the controls the window works with.
    frmGuncel(HINSTANCE instance, UpdaterSetup setup, UpdaterProgram program);
    ~frmGuncel() override;
    frmGuncel(const frmGuncel&) = delete;
    frmGuncel& operator=(const frmGuncel&) = delete;

    HWND handle() const { return m_window; }
    // Shows the window and runs its messages until it is closed.
    int run();

private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // Passes a user's action on to the core: a close asked for meanwhile takes effect when the
    // outermost action has returned.
    void handle(const std::function<void()>& action);
    bool dispatch(MSG& message);

    // A control's window where the layout puts it, in twips from the window's client area.
    struct Placed {
        HWND window;
        RECT twips;
        std::optional<FontLayout> font;
        bool growsToText;  // a label shows its whole text, also in a wider font
    };

    void createControl(const ShownControl& control);
    HWND child(const wchar_t* kind, const ShownControl& control, DWORD style);
    HWND& buttonNamed(Button button);
    // Lays the window out for `dpi`: every control's place, fonts and pictures, the status
    // bar's parts. Run once made and again whenever the window moves to another resolution.
    void applyDpi(int dpi);
    HFONT fontOf(const std::optional<FontLayout>& font);
    // Gives the focus to `preferred` when it can take it, else to the first control in the tab
    // order that can.
    void focusOn(HWND preferred);
    void drawLink(const DRAWITEMSTRUCT& item);
    int pixels(int twips) const;

    void setStatusText(const std::u16string& text) override;
    void setButtonEnabled(Button button, bool enabled) override;
    void setProgressMax(std::int32_t maximum) override;
    void setProgressValue(std::int32_t value) override;
    void setProgressText(const std::u16string& text) override;
    void setLinkEnabled(bool enabled) override;
    // A PeekMessage pass, at most once every few milliseconds.
    void processEvents() override;

    HINSTANCE m_instance;
    std::unique_ptr<UpdaterCore> m_core;  // made first: the windows' messages reach it

    HWND m_window = nullptr;
    HWND m_basla = nullptr;
    HWND m_btniptal = nullptr;
    HWND m_cmdClose = nullptr;
    HWND m_lblActive = nullptr;
    HWND m_pbar = nullptr;
    HWND m_bar1 = nullptr;
    win32_controls::ProgressLook m_progressLook;
    HWND m_savedFocus = nullptr;    // while another window is active
    std::vector<int> m_panelTwips;  // the status bar's panels, in twips
    HFONT m_windowFont = nullptr;
    HCURSOR m_linkCursor = nullptr;
    COLORREF m_linkColour = 0;
    bool m_linkEnabled = true;  // as the core set it, also before the link was made
    int m_dpi = USER_DEFAULT_SCREEN_DPI;
    std::vector<Placed> m_placed;  // one for each control shown, in the layout walk's order
    std::vector<HFONT> m_fonts;    // of the resolution in force
    std::map<HWND, std::u16string> m_pictureNames;
    std::map<HWND, win32_controls::ButtonPictures> m_pictures;  // of the resolution in force
    std::vector<HWND> m_tabOrder;

    static constexpr ULONGLONG kEventsInterval = 5;  // milliseconds between two passes
    ULONGLONG m_lastEvents = 0;
    int m_handlerDepth = 0;
    bool m_closing = false;
};
