#pragma once

#include <cstdint>
#include <string>

// What the update procedure sees of its window.
enum class Button { basla, btniptal, cmdClose };
// The keys the window itself answers, and what each does there.
enum class Key { Escape, Return, Space };
enum class KeyAction {
    None,         // the key is the focused control's own
    PressCancel,  // " İptal" is pressed, as by the mouse
    Close,        // the window closes as by its close box: its close request runs
    PressLink,    // the link is pressed
};

class UpdateView {
public:
    virtual ~UpdateView() = default;

    // The text of the status bar's first panel.
    virtual void setStatusText(const std::u16string& text) = 0;
    virtual void setButtonEnabled(Button button, bool enabled) = 0;
    virtual void setProgressMax(std::int32_t maximum) = 0;
    virtual void setProgressValue(std::int32_t value) = 0;
    // The caption text shown over the progress bar.
    virtual void setProgressText(const std::u16string& text) = 0;
    // The link label lblActive: whether a click, Return or Space on it does anything.
    virtual void setLinkEnabled(bool enabled) = 0;
    // Processes the window's pending events once: the user's actions meanwhile run nested in
    // the caller.
    virtual void processEvents() = 0;
};

enum class MessageIcon { Information, Exclamation, Critical };

// Modal message boxes with an OK button. They return when the user has closed them; other
// events of the window may run in the meantime.
class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    // An empty title shows the application's title.
    virtual void show(const std::u16string& text, const std::u16string& title, MessageIcon icon) = 0;
};
