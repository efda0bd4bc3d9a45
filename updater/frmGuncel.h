#pragma once

#include "download/internet_file.h"
#include "platform/shell/shell.h"
#include "updater/picture_button.h"
#include "updater/progress_bar.h"
#include "updater/status_bar.h"
#include "updater/update_controller.h"
#include "updater/update_view.h"
#include "updater/url_readers.h"

#include <QGroupBox>
#include <QHash>
#include <QLabel>
#include <QWidget>
#include <memory>

struct ControlLayout;

// What the window is given by its program (main) or by a test.
struct UpdaterServices {
    inet::Internet& internet;
    MessageBoxes& boxes;
    shell::Shell& shell;
    Inet1Control& Inet1;
    WebBrowserControl& WebBrowser1;
    std::function<void(int status)> endProgram;  // ends the process at once with that exit status
    std::u16string appFolder;          // the updater's own folder, without a trailing separator
    std::u16string updateHost;
    std::u16string vendorHost;
    // The vendor's key: with one, only programs it signed are installed.
    std::optional<signature::PublicKey> updateKey;
    // Seconds since 1970: no program signed earlier is installed.
    std::uint64_t minimumTimestamp = 0;
    bool elevated = false;  // the elevated writing part of another run's update
};

// The updater's one window, created from its stored layout (the resource
// ":/frmGuncel/frmGuncel.json"): every control in the layout's order with its text, position,
// size, font, tab order and initial state. The download control `ctlIFile` is created as a
// non-visual control that loads its stored properties. The window shows and forwards; the
// decisions are its UpdateController's.
class frmGuncel : public QWidget, private UpdateView {
    Q_OBJECT
public:
    // The services must outlive the window.
    explicit frmGuncel(UpdaterServices services, QWidget* parent = nullptr);
    ~frmGuncel() override;

    PictureButton* basla = nullptr;
    PictureButton* btniptal = nullptr;
    PictureButton* cmdClose = nullptr;
    QLabel* lblBilgi = nullptr;
    QLabel* lblActive = nullptr;
    QGroupBox* Frame2 = nullptr;
    ProgressBar* pbar = nullptr;
    StatusBar* bar1 = nullptr;
    QWidget* WebBrowser1 = nullptr;
    std::unique_ptr<InternetFile> ctlIFile;

    // Names of the controls in the order the window created them.
    const QStringList& creationOrder() const { return m_creationOrder; }
    // The tab index the layout gives a control, or -1.
    int tabIndexOf(const QString& name) const { return m_tabIndex.value(name, -1); }

    UpdateController& controller() { return *m_controller; }

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControl(const ControlLayout& spec, QWidget* container);
    void handle(const std::function<void()>& handler);

    void setStatusText(const std::u16string& text) override;
    void setButtonEnabled(Button button, bool enabled) override;
    void setProgressMax(std::int32_t maximum) override;
    void setProgressValue(std::int32_t value) override;
    void setProgressText(const std::u16string& text) override;

    UpdaterServices m_services;
    InternetSignatureReader m_signatures;
    std::unique_ptr<UpdateController> m_controller;
    QStringList m_creationOrder;
    QHash<QString, int> m_tabIndex;
    QHash<QString, QWidget*> m_tabbable;
};
