#include "updater/frmGuncel_win32.h"

#include "platform/controls/twips.h"
#include "platform/window/window_dpi_win32.h"
#include "platform/window/window_owner_win32.h"
#include "updater/window_layout.h"

#include <commctrl.h>

#include <algorithm>

namespace {

constexpr wchar_t kWindowClass[] = L"frmGuncel";
constexpr int kApplicationIcon = 1;
constexpr int kPictureSide = 32;  // a button's picture at 96 dots per inch
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_DLGFRAME;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
enum ControlId : int { kBasla = 101, kBtniptal, kCmdClose, kLblActive, kOther };
// Posted when the control with the focus was disabled: the focus goes on once the handler that
// disabled it has set every button.
constexpr UINT kMoveFocus = WM_APP + 1;

// A key held down repeats its press: only the first is a press to act on.
bool repeated(const MSG& message)
{
    return (message.lParam & (1L << 30)) != 0;
}

const wchar_t* wide(const std::u16string& text)
{
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

// The window's frame around a client area of `width` x `height` at `dpi`.
RECT frameFor(int width, int height, int dpi)
{
    RECT frame{0, 0, width, height};
    using ForDpi = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
    static const auto forDpi = reinterpret_cast<ForDpi>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "AdjustWindowRectExForDpi")));
    if (!forDpi || !forDpi(&frame, kStyle, FALSE, kExStyle, static_cast<UINT>(dpi)))
        ::AdjustWindowRectEx(&frame, kStyle, FALSE, kExStyle);
    return frame;
}

}  // namespace

frmGuncel::frmGuncel(HINSTANCE instance, UpdaterSetup setup, UpdaterProgram program)
    : m_instance(instance)
    , m_core(std::make_unique<UpdaterCore>(std::move(setup), std::move(program), static_cast<UpdateView&>(*this)))
{
    const INITCOMMONCONTROLSEX common{sizeof(INITCOMMONCONTROLSEX),
                                      ICC_BAR_CLASSES | ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&common);
    WNDCLASSEXW type{};
    type.cbSize = sizeof type;
    type.lpfnWndProc = procedure;
    type.hInstance = instance;
    type.hIcon = ::LoadIconW(instance, MAKEINTRESOURCEW(kApplicationIcon));
    type.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    type.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    type.lpszClassName = kWindowClass;
    ::RegisterClassExW(&type);

    const WindowLayout& layout = storedWindowLayout();
    const std::vector<ShownControl> shown = shownControls(layout);
    m_dpi = win32::windowDpi(nullptr);
    const RECT frame = frameFor(pixels(layout.clientWidth), pixels(layout.clientHeight), m_dpi);
    RECT work{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    m_window = ::CreateWindowExW(
        kExStyle, kWindowClass, wide(layout.caption), kStyle, work.left + (work.right - work.left - width) / 2,
        work.top + (work.bottom - work.top - height) / 2, width, height, nullptr, nullptr, instance, this);
    // Centred by the system's resolution; the window's own may differ on another monitor.
    m_dpi = win32::windowDpi(m_window);
    m_linkCursor = ::LoadCursorW(nullptr, IDC_HAND);

    for (const ShownControl& control : shown)
        createControl(control);
    setLinkEnabled(m_linkEnabled);
    applyDpi(m_dpi);
    // The tab order is the layout's: the dialog manager walks the windows in their z-order.
    HWND previous = HWND_TOP;
    for (const std::size_t index : tabOrder(shown)) {
        const HWND control = m_placed[index].window;  // placed one for each control shown, in turn
        m_tabOrder.push_back(control);
        ::SetWindowPos(control, previous, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        previous = control;
    }
}

frmGuncel::~frmGuncel()
{
    if (m_window)
        ::DestroyWindow(m_window);
    for (const HFONT font : m_fonts)
        ::DeleteObject(font);
    for (const auto& [button, pictures] : m_pictures) {
        ::DestroyIcon(pictures.normal);
        ::DestroyIcon(pictures.disabled);
    }
}

int frmGuncel::pixels(int twips) const
{
    return controls::pixelsAt(twips, m_dpi);
}

HFONT frmGuncel::fontOf(const std::optional<FontLayout>& font)
{
    const FontLayout& chosen = font ? *font : storedWindowLayout().font;
    LOGFONTW description{};
    description.lfHeight = -static_cast<LONG>(chosen.size * m_dpi / 72.0 + 0.5);
    description.lfWeight = chosen.bold ? FW_BOLD : FW_NORMAL;
    description.lfCharSet = TURKISH_CHARSET;
    const std::u16string name = chosen.name.substr(0, LF_FACESIZE - 1);
    std::copy(name.begin(), name.end(), description.lfFaceName);
    const HFONT created = ::CreateFontIndirectW(&description);
    m_fonts.push_back(created);
    return created;
}

HWND frmGuncel::child(const wchar_t* kind, const ShownControl& control, DWORD style)
{
    const ControlLayout& spec = *control.layout;
    // The controls the window acts on have a command id of their own.
    const int id = control.button == Button::basla      ? kBasla
                   : control.button == Button::btniptal ? kBtniptal
                   : control.button == Button::cmdClose ? kCmdClose
                   : control.link                       ? kLblActive
                                                        : kOther;
    style |= WS_CHILD | (spec.visible ? WS_VISIBLE : 0) | (spec.enabled ? 0 : WS_DISABLED)
             | (control.takesFocus ? WS_TABSTOP : 0);
    const HWND window = ::CreateWindowExW(0, kind, wide(spec.caption), style, 0, 0, 0, 0, m_window,
                                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), m_instance, nullptr);
    m_placed.push_back(Placed{window,
                              RECT{control.left, control.top, control.left + spec.width, control.top + spec.height},
                              spec.font, growsToText(spec.kind)});
    return window;
}

void frmGuncel::createControl(const ShownControl& control)
{
    // Every control is the window's own, a frame's contents placed within it: the frame only
    // groups.
    const ControlLayout& spec = *control.layout;
    switch (spec.kind) {
    case ControlKind::CommandButton: {
        const HWND button = child(L"BUTTON", control, BS_OWNERDRAW);
        m_pictureNames[button] = spec.picture;
        if (control.button)
            buttonNamed(*control.button) = button;
        break;
    }
    case ControlKind::Label:
        if (!control.link) {
            child(L"STATIC", control, SS_LEFT | SS_NOPREFIX);
            break;
        }
        // A link, which the keyboard reaches and presses as a button, drawn as the label it is.
        m_lblActive = child(L"BUTTON", control, BS_OWNERDRAW);
        // The layout's colour is a Windows colour value: what GDI takes as it is.
        m_linkColour = spec.foreColor.value_or(0);
        if (!spec.mouseIcon.empty()) {
            if (const HCURSOR own = ::LoadCursorW(m_instance, wide(spec.mouseIcon)))
                m_linkCursor = own;
        }
        break;
    case ControlKind::Frame: child(L"BUTTON", control, BS_GROUPBOX); break;
    case ControlKind::ProgressBar:
        m_pbar = child(PROGRESS_CLASSW, control, 0);
        ::SetWindowLongPtrW(m_pbar, GWL_EXSTYLE, ::GetWindowLongPtrW(m_pbar, GWL_EXSTYLE) | WS_EX_CLIENTEDGE);
        ::SetWindowPos(m_pbar, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
        m_progressLook.textColour = static_cast<COLORREF>(storedNumber(spec, "forecolor"));
        m_progressLook.barColour = static_cast<COLORREF>(storedNumber(spec, "barforecolor"));
        m_progressLook.showText = storedFlag(spec, "showtext");
        win32_controls::drawProgressBarAsCaptioned(m_pbar, m_progressLook);
        break;
    case ControlKind::StatusBar: {
        // Where the layout puts it and as high, not where and as high as the control would be.
        m_bar1 = child(STATUSCLASSNAMEW, control, CCS_NORESIZE | CCS_NOPARENTALIGN | CCS_NODIVIDER);
        for (const auto& [width, text] : spec.panels)
            m_panelTwips.push_back(width);
        std::vector<int> edges(spec.panels.size(), -1);  // placed by applyDpi; the texts need the parts
        ::SendMessageW(m_bar1, SB_SETPARTS, edges.size(), reinterpret_cast<LPARAM>(edges.data()));
        for (std::size_t i = 0; i < spec.panels.size(); ++i)
            ::SendMessageW(m_bar1, SB_SETTEXTW, i, reinterpret_cast<LPARAM>(wide(spec.panels[i].second)));
        break;
    }
    case ControlKind::WebBrowser:
    case ControlKind::InternetFile:
    case ControlKind::Inet: break;  // never shown: the core's download control and readers
    }
}

void frmGuncel::applyDpi(int dpi)
{
    m_dpi = dpi;
    std::vector<HFONT> previousFonts = std::move(m_fonts);
    m_fonts.clear();
    m_windowFont = fontOf(std::nullopt);
    for (const Placed& placed : m_placed) {
        const HFONT font = fontOf(placed.font);
        ::SendMessageW(placed.window, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        if (placed.window == m_pbar)
            m_progressLook.font = font;
        int width = pixels(placed.twips.right) - pixels(placed.twips.left);
        if (placed.growsToText) {
            // A font wider than the one the layout was made with: the label grows to show its
            // whole text rather than cut it.
            const HDC dc = ::GetDC(placed.window);
            const HGDIOBJ previous = ::SelectObject(dc, font);
            wchar_t text[512] = {};
            const int length = ::GetWindowTextW(placed.window, text, 512);
            SIZE extent{};
            ::GetTextExtentPoint32W(dc, text, length, &extent);
            ::SelectObject(dc, previous);
            ::ReleaseDC(placed.window, dc);
            width = std::max(width, static_cast<int>(extent.cx));
        }
        ::SetWindowPos(placed.window, nullptr, pixels(placed.twips.left), pixels(placed.twips.top), width,
                       pixels(placed.twips.bottom) - pixels(placed.twips.top), SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (m_bar1) {
        std::vector<int> edges;
        int edge = 0;
        for (const int width : m_panelTwips)
            edges.push_back(pixels(edge += width));
        ::SendMessageW(m_bar1, SB_SETPARTS, edges.size(), reinterpret_cast<LPARAM>(edges.data()));
    }
    const int side = ::MulDiv(kPictureSide, dpi, USER_DEFAULT_SCREEN_DPI);
    for (const auto& [button, name] : m_pictureNames) {
        auto& pictures = m_pictures[button];
        ::DestroyIcon(pictures.normal);
        ::DestroyIcon(pictures.disabled);
        pictures.normal =
            static_cast<HICON>(::LoadImageW(m_instance, wide(name), IMAGE_ICON, side, side, LR_DEFAULTCOLOR));
        pictures.disabled = win32_controls::greyedIcon(pictures.normal);
        pictures.size = side;
    }
    for (const HFONT font : previousFonts)
        ::DeleteObject(font);
    ::InvalidateRect(m_window, nullptr, TRUE);
}

int frmGuncel::run()
{
    ::ShowWindow(m_window, SW_SHOWNORMAL);
    ::UpdateWindow(m_window);
    ::SetFocus(m_basla);
    if (m_core->startsAtOnce())
        ::PostMessageW(m_window, WM_COMMAND, MAKEWPARAM(kBasla, BN_CLICKED), reinterpret_cast<LPARAM>(m_basla));
    MSG message{};
    while (::GetMessageW(&message, nullptr, 0, 0) > 0)
        dispatch(message);
    return static_cast<int>(message.wParam);
}

void frmGuncel::processEvents()
{
    // A pass costs a call into the window system even when nothing is pending, and the
    // download asks for one four times a chunk: one pass in each few milliseconds serves the
    // window as well.
    const ULONGLONG now = ::GetTickCount64();
    if (now - m_lastEvents < kEventsInterval)
        return;
    m_lastEvents = now;
    MSG message{};
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            ::PostQuitMessage(static_cast<int>(message.wParam));  // for the outer loop
            break;
        }
        dispatch(message);
    }
}

bool frmGuncel::dispatch(MSG& message)
{
    if (message.message == WM_KEYDOWN && (message.wParam == VK_RETURN || message.wParam == VK_ESCAPE)) {
        // A key held since it answered a box must not press what lies behind the box.
        if (repeated(message))
            return true;
        // Return presses the button that has the focus, as the window's buttons are pressed.
        const HWND focus = ::GetFocus();
        if (message.wParam == VK_RETURN
            && (focus == m_basla || focus == m_btniptal || focus == m_cmdClose || focus == m_lblActive)
            && ::IsWindowEnabled(focus)) {
            ::SendMessageW(focus, BM_CLICK, 0, 0);
            return true;
        }
    }
    if (m_window && ::IsDialogMessageW(m_window, &message))
        return true;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
    return true;
}

void frmGuncel::handle(const std::function<void()>& action)
{
    ++m_handlerDepth;
    action();
    if (--m_handlerDepth == 0 && m_closing && m_window)
        ::DestroyWindow(m_window);
}

LRESULT CALLBACK frmGuncel::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = win32::windowOwner<frmGuncel>(window, message, lParam);
    if (!self)
        return ::DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCCREATE)
        self->m_window = window;
    return self->handleMessage(message, wParam, lParam);
}

LRESULT frmGuncel::handleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL) {  // Escape, as the dialog manager reports it
            // Pressed as by the mouse, so that the focus moves as a click moves it.
            const KeyAction action = m_core->keyAction(Key::Escape, false);
            if (action == KeyAction::PressCancel)
                ::SendMessageW(m_btniptal, BM_CLICK, 0, 0);
            else if (action == KeyAction::Close)
                ::SendMessageW(m_window, WM_CLOSE, 0, 0);
            return 0;
        }
        if (HIWORD(wParam) == BN_CLICKED) {
            switch (LOWORD(wParam)) {
            case kBasla: handle([this] { m_core->press(Button::basla); }); return 0;
            case kBtniptal: handle([this] { m_core->press(Button::btniptal); }); return 0;
            case kCmdClose: handle([this] { m_core->press(Button::cmdClose); }); return 0;
            case kLblActive: handle([this] { m_core->pressLink(); }); return 0;
            default: break;
            }
        }
        break;
    case WM_DRAWITEM: {
        const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (item.hwndItem == m_lblActive) {
            drawLink(item);
            return TRUE;
        }
        const auto pictures = m_pictures.find(item.hwndItem);
        if (pictures == m_pictures.end())
            break;
        win32_controls::drawPictureButton(
            item, pictures->second, reinterpret_cast<HFONT>(::SendMessageW(item.hwndItem, WM_GETFONT, 0, 0)), m_dpi);
        return TRUE;
    }
    case WM_ACTIVATE:
        // As a dialog does: the focus is kept while another window (a box) is active, and
        // given back, to a control that can take it, when this one is active again.
        if (LOWORD(wParam) == WA_INACTIVE) {
            const HWND focus = ::GetFocus();
            m_savedFocus = focus && ::IsChild(m_window, focus) ? focus : nullptr;
        } else {
            focusOn(m_savedFocus);
        }
        return 0;
    case kMoveFocus:
        if (::GetActiveWindow() == m_window)
            focusOn(::GetFocus());
        return 0;
    case WM_SETCURSOR:
        if (reinterpret_cast<HWND>(wParam) == m_lblActive) {
            ::SetCursor(m_linkCursor);
            return TRUE;
        }
        break;
    case WM_DPICHANGED: {
        // Moved to a monitor of another resolution: the system's suggested frame, and the
        // window laid out anew for it.
        const auto* suggested = reinterpret_cast<const RECT*>(lParam);
        ::SetWindowPos(m_window, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                       suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
        applyDpi(HIWORD(wParam));
        return 0;
    }
    case WM_CLOSE:
        // A window closed inside a running handler is hidden now and goes when that handler
        // has returned; closing is never refused.
        m_closing = true;
        ::ShowWindow(m_window, SW_HIDE);
        handle([this] { m_core->closeRequested(); });
        return 0;
    case WM_DESTROY:
        m_window = nullptr;
        ::PostQuitMessage(m_core->closedStatus());
        return 0;
    default: break;
    }
    return ::DefWindowProcW(m_window, message, wParam, lParam);
}

void frmGuncel::setStatusText(const std::u16string& text)
{
    ::SendMessageW(m_bar1, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(wide(text)));
}

HWND& frmGuncel::buttonNamed(Button button)
{
    switch (button) {
    case Button::basla: return m_basla;
    case Button::btniptal: return m_btniptal;
    case Button::cmdClose: break;
    }
    return m_cmdClose;
}

void frmGuncel::setButtonEnabled(Button button, bool enabled)
{
    const HWND control = buttonNamed(button);
    if (!enabled && ::GetFocus() == control)
        ::PostMessageW(m_window, kMoveFocus, 0, 0);
    ::EnableWindow(control, enabled);
}

void frmGuncel::setLinkEnabled(bool enabled)
{
    m_linkEnabled = enabled;
    ::EnableWindow(m_lblActive, enabled);
    ::InvalidateRect(m_lblActive, nullptr, TRUE);
}

void frmGuncel::focusOn(HWND preferred)
{
    if (preferred && ::IsWindowEnabled(preferred) && ::IsWindowVisible(preferred)) {
        ::SetFocus(preferred);
        return;
    }
    // The first control in the tab order that can take the focus.
    for (const HWND control : m_tabOrder) {
        if (::IsWindowEnabled(control) && ::IsWindowVisible(control)) {
            ::SetFocus(control);
            return;
        }
    }
}

void frmGuncel::drawLink(const DRAWITEMSTRUCT& item)
{
    const HDC dc = item.hDC;
    RECT area = item.rcItem;
    ::FillRect(dc, &area, ::GetSysColorBrush(COLOR_BTNFACE));
    wchar_t text[256] = {};
    ::GetWindowTextW(item.hwndItem, text, 256);
    const HGDIOBJ previous =
        ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(item.hwndItem, WM_GETFONT, 0, 0)));
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, (item.itemState & ODS_DISABLED) ? ::GetSysColor(COLOR_GRAYTEXT) : m_linkColour);
    RECT extent = area;
    ::DrawTextW(dc, text, -1, &extent, DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX | DT_CALCRECT);
    ::DrawTextW(dc, text, -1, &area, DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
    ::SelectObject(dc, previous);
    if (item.itemState & ODS_FOCUS) {
        extent.bottom = std::min(extent.bottom, area.bottom);
        ::DrawFocusRect(dc, &extent);
    }
}

void frmGuncel::setProgressMax(std::int32_t maximum)
{
    ::SendMessageW(m_pbar, PBM_SETRANGE32, 0, progressMaximum(maximum));
}

void frmGuncel::setProgressValue(std::int32_t value)
{
    const auto maximum = static_cast<int>(::SendMessageW(m_pbar, PBM_GETRANGE, FALSE, 0));
    ::SendMessageW(m_pbar, PBM_SETPOS, progressPosition(value, maximum), 0);
}

void frmGuncel::setProgressText(const std::u16string& text)
{
    ::SetWindowTextW(m_pbar, wide(text));
    ::InvalidateRect(m_pbar, nullptr, FALSE);
    ::UpdateWindow(m_pbar);
}
