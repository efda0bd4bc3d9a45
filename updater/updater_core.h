#pragma once

#include "download/internet_file.h"
#include "download/internet_file_events.h"
#include "updater/update_controller.h"
#include "updater/update_view.h"
#include "updater/updater_setup.h"
#include "updater/url_readers.h"

#include <functional>
#include <memory>

// The window frmGuncel without its looks: the download control `ctlIFile` made from the stored
// layout, the reader of the releases' small files and the update procedure, wired together. A
// view shows what the core sets through UpdateView and passes its user's actions on; a test
// drives the core with no view at all.
class UpdaterCore {
public:
    // The setup's services, the view and the program's boxes must outlive the core. Throws
    // std::logic_error when the stored layout has no download control.
    UpdaterCore(UpdaterSetup setup, UpdaterProgram program, UpdateView& view);
    ~UpdaterCore();
    UpdaterCore(const UpdaterCore&) = delete;
    UpdaterCore& operator=(const UpdaterCore&) = delete;

    // The user's actions. No error leaves them into the view's event loop: one that no step of
    // the procedure traps is shown in a box as the run-time reports it, and the window goes on.
    void press(Button button);
    void pressLink();  // lblActive
    void closeRequested();
    // What a key pressed in the window does, as both views answer it: Escape presses " İptal"
    // while it can be pressed and otherwise closes the window as its close box does; Return or
    // Space on the link (`onLink`) presses it; any other key is the focused control's.
    KeyAction keyAction(Key key, bool onLink) const;

    // The elevated writing part starts its update as soon as its window shows.
    bool startsAtOnce() const { return m_controller.startsAtOnce(); }
    // The exit status of this run when its window is closed.
    int closedStatus() const { return m_controller.closedStatus(); }
    const InternetFile& downloadControl() const { return *m_ctlIFile; }

private:
    // The view, as the procedure changes it: which buttons can be pressed now.
    class ShownView : public UpdateView {
    public:
        explicit ShownView(UpdateView& view);
        bool enabled(Button button) const { return m_enabled[static_cast<int>(button)]; }
        void setStatusText(const std::u16string& text) override { m_view.setStatusText(text); }
        void setButtonEnabled(Button button, bool enabled) override;
        void setProgressMax(std::int32_t maximum) override { m_view.setProgressMax(maximum); }
        void setProgressValue(std::int32_t value) override { m_view.setProgressValue(value); }
        void setProgressText(const std::u16string& text) override { m_view.setProgressText(text); }
        void setLinkEnabled(bool enabled) override { m_view.setLinkEnabled(enabled); }
        void processEvents() override { m_view.processEvents(); }

    private:
        UpdateView& m_view;
        bool m_enabled[3] = {};  // by Button
    };

    void handle(const std::function<void()>& step);

    ShownView m_view;
    MessageBoxes& m_boxes;
    InternetReleaseFileReader m_releaseFiles;
    std::unique_ptr<InternetFile> m_ctlIFile;
    UpdateController m_controller;
    InternetFileSite m_site;
};
