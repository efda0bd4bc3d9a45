#pragma once

#include "updater/controls_qt.h"
#include "updater/update_view.h"
#include "updater/updater_core.h"
#include "updater/updater_setup.h"

#include <QGroupBox>
#include <QLabel>
#include <QWidget>
#include <memory>

struct ShownControl;

// The updater's one window, created from its stored layout (the resource
// ":/frmGuncel/frmGuncel.json"): every control in the layout's order with its text, position,
// size, font, tab order and initial state, each named as the layout names it. The window shows
// and forwards; the download control and the decisions are its UpdaterCore's.
class frmGuncel : public QWidget, private UpdateView {
    Q_OBJECT
public:
    // The setup's services and the program's boxes must outlive the window.
    frmGuncel(UpdaterSetup setup, UpdaterProgram program, QWidget* parent = nullptr);
    ~frmGuncel() override;

    // The exit status of this run once the window is closed.
    int closedStatus() const { return m_core->closedStatus(); }

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* createControl(const ShownControl& control, QWidget* container);
    PictureButton*& buttonNamed(Button button);

    void setStatusText(const std::u16string& text) override;
    void setButtonEnabled(Button button, bool enabled) override;
    void setProgressMax(std::int32_t maximum) override;
    void setProgressValue(std::int32_t value) override;
    void setProgressText(const std::u16string& text) override;
    void setLinkEnabled(bool enabled) override;
    void processEvents() override;
    // Does what the core says a key does; false when it leaves the key to the focused control.
    bool act(KeyAction action);

    PictureButton* m_basla = nullptr;
    PictureButton* m_btniptal = nullptr;
    PictureButton* m_cmdClose = nullptr;
    LinkLabel* m_lblActive = nullptr;
    ProgressBar* m_pbar = nullptr;
    StatusBar* m_bar1 = nullptr;
    std::unique_ptr<UpdaterCore> m_core;
};
