#pragma once

#include "platform/com/com.h"
#include "platform/com/com_ptr.h"
#include "platform/com/inproc_server.h"
#include "platform/com/type_library.h"
#include "platform/controls/property_bag.h"

#include <QComboBox>
#include <QListWidget>
#include <QWidget>
#include <memory>
#include <optional>
#include <string>

// A form of a container program: it creates a control by its program id through the control
// module's class factory, places it, offers its enumeration properties as choices, shows the
// property-changed notices it receives, and can save and restore itself.
class ContainerForm : public QWidget, private com::IPropertyNotifySink {
    Q_OBJECT
public:
    explicit ContainerForm(QWidget* parent = nullptr);
    ~ContainerForm() override;

    // Loads the registered class's module, creates the control and places it; false with a
    // message in `error`.
    bool place(const std::string& progId, const com::RegisteredClass& registered, QString& error);

    // The largest side a control may be given, in pixels: a window's largest.
    static constexpr int kMaxPixels = QWIDGETSIZE_MAX;

    // Gives the control its extent: `pixels` at 15 twips each. The stage grows to show it.
    // Sides beyond kMaxPixels, or below 0, are refused.
    bool setControlSize(QSize pixels, QString& error);
    // The extent the control reports, in twips.
    std::optional<QSize> controlExtent() const;

    // Puts or gets a property by its name in the control's type library.
    bool putProperty(const std::u16string& name, const runtime::Variant& value, QString& error);
    std::optional<runtime::Variant> property(const std::u16string& name);

    // Saves the form: the control's own stored properties. Restoring makes a new control from
    // them, as a container does when it opens a saved form.
    void saveForm();
    bool restoreForm(QString& error);

    QWidget* stage() const { return m_stage; }
    QWidget* controlWindow() const;
    const QStringList& notices() const { return m_notices; }
    QComboBox* choiceFor(const std::u16string& property) const;
    const controls::PropertyBag& savedForm() const { return m_saved; }

private:
    bool create(QString& error);
    void release();
    void buildChoices();
    const com::PropertyDescription* describe(const std::u16string& name) const;
    void OnChanged(controls::DispId id) override;

    com::Guid m_clsid;
    std::unique_ptr<com::InprocServer> m_server;
    com::Ptr<com::IEmbeddedControl> m_control;
    com::Ptr<com::IDispatch> m_dispatch;
    const com::TypeLibrary* m_library = nullptr;
    std::u16string m_interface;
    controls::PropertyBag m_saved;

    QWidget* m_stage = nullptr;
    QWidget* m_choices = nullptr;
    QListWidget* m_noticeList = nullptr;
    QStringList m_notices;
    std::vector<std::pair<std::u16string, QComboBox*>> m_choiceBoxes;
};
