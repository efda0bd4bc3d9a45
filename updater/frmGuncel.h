#pragma once

#include "download/internet_file.h"
#include "platform/controls/control_site.h"
#include "updater/progress_bar.h"
#include "updater/status_bar.h"

#include <QGroupBox>
#include <QHash>
#include <QLabel>
#include <QToolButton>
#include <QWidget>
#include <memory>

class QJsonObject;

// The updater's one window, created from its stored layout (the resource
// ":/frmGuncel/frmGuncel.json"): every control in the layout's order with its text, position,
// size, font, tab order and initial state. The download control `ctlIFile` is created as a
// non-visual control that loads its stored properties.
class frmGuncel : public QWidget, private controls::ControlSite {
    Q_OBJECT
public:
    // `internet` is handed to ctlIFile and must outlive the window.
    explicit frmGuncel(inet::Internet& internet, QWidget* parent = nullptr);
    ~frmGuncel() override;

    QToolButton* basla = nullptr;
    QToolButton* btniptal = nullptr;
    QToolButton* cmdClose = nullptr;
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

    // The window's form-level state.
    bool iptaledildi = false;

protected:
    void Form_Load();

private:
    void createControl(const QJsonObject& spec, QWidget* container);
    void propertyChanged(std::u16string_view name) override;
    void raiseEvent(const controls::EventInfo& event, std::span<runtime::Variant> args) override;

    inet::Internet& m_internet;
    QStringList m_creationOrder;
    QHash<QString, int> m_tabIndex;
    QHash<QString, QWidget*> m_tabbable;
};
