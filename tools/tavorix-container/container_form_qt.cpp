#include "tools/tavorix-container/container_form_qt.h"

#include "platform/controls/twips.h"
#include "platform/runtime/conversions.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int kStageWidth = 320;
constexpr int kStageHeight = 240;

}  // namespace

ContainerForm::ContainerForm(QWidget* parent) : QWidget(parent)
{
    auto* layout = new QHBoxLayout(this);
    m_stage = new QWidget(this);
    m_stage->setFixedSize(kStageWidth, kStageHeight);
    m_stage->setAutoFillBackground(true);
    layout->addWidget(m_stage, 0, Qt::AlignTop);

    auto* side = new QVBoxLayout();
    m_choices = new QWidget(this);
    new QFormLayout(m_choices);
    side->addWidget(m_choices);
    auto* save = new QPushButton(QStringLiteral("Save form"), this);
    auto* restore = new QPushButton(QStringLiteral("Restore form"), this);
    side->addWidget(save);
    side->addWidget(restore);
    side->addWidget(new QLabel(QStringLiteral("Property-changed notices:"), this));
    m_noticeList = new QListWidget(this);
    side->addWidget(m_noticeList, 1);
    layout->addLayout(side);

    connect(save, &QPushButton::clicked, this, [this] { saveForm(); });
    connect(restore, &QPushButton::clicked, this, [this] {
        QString error;
        if (!restoreForm(error))
            m_noticeList->addItem(QStringLiteral("Restore failed: %1").arg(error));
    });
    setWindowTitle(QStringLiteral("Control container"));
}

ContainerForm::~ContainerForm()
{
    release();
}

bool ContainerForm::place(const std::string& progId, const com::RegisteredClass& registered, QString& error)
{
    std::string loadError;
    m_server = com::InprocServer::load(registered.module, loadError);
    if (!m_server) {
        error = QString::fromStdString(loadError);
        return false;
    }
    m_clsid = registered.clsid;
    if (!create(error))
        return false;
    if (!com::succeeded(m_control->InitNew())) {
        error = QStringLiteral("the control refused to start as new");
        return false;
    }
    buildChoices();
    setWindowTitle(QStringLiteral("Control container: %1").arg(QString::fromStdString(progId)));
    return true;
}

bool ContainerForm::create(QString& error)
{
    com::Ptr<com::IClassFactory> factory;
    com::HResult result = m_server->getClassObject(m_clsid, com::IID_IClassFactory, factory.outVoid());
    if (!com::succeeded(result)) {
        error = QStringLiteral("no class factory: %1").arg(QString::fromStdString(com::describe(result)));
        return false;
    }
    result = factory->CreateInstance(nullptr, com::IID_IEmbeddedControl, m_control.outVoid());
    if (!com::succeeded(result)) {
        error =
            QStringLiteral("the control could not be created: %1").arg(QString::fromStdString(com::describe(result)));
        return false;
    }
    m_control->QueryInterface(com::IID_IDispatch, m_dispatch.outVoid());
    if (!m_dispatch || !com::succeeded(m_dispatch->GetTypeInfo(&m_library, &m_interface))) {
        error = QStringLiteral("the control has no type information");
        release();
        return false;
    }
    m_control->SetSite(this);
    m_control->Activate(m_stage);
    return true;
}

void ContainerForm::release()
{
    if (m_control)
        m_control->SetSite(nullptr);
    m_control.reset();
    m_dispatch.reset();
}

bool ContainerForm::setControlSize(QSize pixels, QString& error)
{
    // Pixels beyond a window's largest size have no extent in twips that means anything.
    if (pixels.width() < 0 || pixels.height() < 0 || pixels.width() > kMaxPixels || pixels.height() > kMaxPixels) {
        error = QString::fromStdString(com::describe(com::E_INVALIDARG));
        return false;
    }
    const com::HResult result = m_control ? m_control->SetExtent(pixels.width() * controls::kTwipsPerPixel,
                                                                 pixels.height() * controls::kTwipsPerPixel)
                                          : com::E_UNEXPECTED;
    if (!com::succeeded(result)) {
        error = QString::fromStdString(com::describe(result));
        return false;
    }
    m_stage->setFixedSize(m_stage->size().expandedTo(pixels));
    return true;
}

std::optional<QSize> ContainerForm::controlExtent() const
{
    int width = 0;
    int height = 0;
    if (!m_control || !com::succeeded(m_control->GetExtent(&width, &height)))
        return std::nullopt;
    return QSize(width, height);
}

QWidget* ContainerForm::controlWindow() const
{
    const auto children = m_stage->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    return children.isEmpty() ? nullptr : children.front();
}

const com::PropertyDescription* ContainerForm::describe(const std::u16string& name) const
{
    const com::TypeDescription* type = m_library ? m_library->find(m_interface) : nullptr;
    if (!type)
        return nullptr;
    for (const auto& property : type->properties) {
        if (property.name == name)
            return &property;
    }
    return nullptr;
}

bool ContainerForm::putProperty(const std::u16string& name, const runtime::Variant& value, QString& error)
{
    const com::PropertyDescription* property = describe(name);
    if (!property || !m_dispatch) {
        error = QStringLiteral("no property %1").arg(QString::fromStdU16String(name));
        return false;
    }
    runtime::Variant argument = value;
    com::ExceptionInfo exception;
    const com::HResult result = m_dispatch->Invoke(property->id, controls::InvokeKind::PropertyPut,
                                                   std::span<runtime::Variant>(&argument, 1), nullptr, &exception);
    if (result == com::DISP_E_EXCEPTION) {
        error =
            QStringLiteral("Error %1: %2").arg(exception.number).arg(QString::fromStdU16String(exception.description));
        return false;
    }
    if (!com::succeeded(result)) {
        error = QString::fromStdString(com::describe(result));
        return false;
    }
    return true;
}

std::optional<runtime::Variant> ContainerForm::property(const std::u16string& name)
{
    const com::PropertyDescription* property = describe(name);
    if (!property || !m_dispatch)
        return std::nullopt;
    runtime::Variant result;
    if (!com::succeeded(m_dispatch->Invoke(property->id, controls::InvokeKind::PropertyGet, {}, &result, nullptr)))
        return std::nullopt;
    return result;
}

QComboBox* ContainerForm::choiceFor(const std::u16string& property) const
{
    for (const auto& [name, box] : m_choiceBoxes) {
        if (name == property)
            return box;
    }
    return nullptr;
}

void ContainerForm::buildChoices()
{
    auto* form = static_cast<QFormLayout*>(m_choices->layout());
    while (form->rowCount() > 0)
        form->removeRow(0);
    m_choiceBoxes.clear();
    for (const com::EnumeratedProperty& property : com::enumeratedProperties(*m_library, m_interface)) {
        auto* box = new QComboBox(m_choices);
        for (const auto& [constant, value] : property.values)
            box->addItem(QString::fromStdU16String(constant), value);
        if (const auto current = this->property(property.name))
            box->setCurrentIndex(box->findData(runtime::toLong(*current)));
        const std::u16string name = property.name;
        connect(box, &QComboBox::activated, this, [this, box, name](int index) {
            QString error;
            if (!putProperty(name, runtime::Variant(static_cast<std::int32_t>(box->itemData(index).toInt())), error))
                m_noticeList->addItem(error);
        });
        form->addRow(QString::fromStdU16String(property.name), box);
        m_choiceBoxes.emplace_back(property.name, box);
    }
}

void ContainerForm::saveForm()
{
    m_saved = controls::PropertyBag();
    if (m_control)
        m_control->Save(m_saved);
}

bool ContainerForm::restoreForm(QString& error)
{
    if (!m_server) {
        error = QStringLiteral("no control is placed");
        return false;
    }
    release();
    if (!create(error))
        return false;
    if (!com::succeeded(m_control->Load(m_saved))) {
        error = QStringLiteral("the control could not read the saved form");
        return false;
    }
    buildChoices();
    return true;
}

void ContainerForm::OnChanged(controls::DispId id)
{
    QString name = QString::number(id, 16);
    const com::TypeDescription* type = m_library ? m_library->find(m_interface) : nullptr;
    for (const auto& property : type ? type->properties : std::vector<com::PropertyDescription>{}) {
        if (property.id != id)
            continue;
        name = QString::fromStdU16String(property.name);
        QComboBox* box = choiceFor(property.name);
        const auto value = this->property(property.name);
        if (box && value)
            box->setCurrentIndex(box->findData(runtime::toLong(*value)));
    }
    const QString notice =
        QStringLiteral("%1 changed (0x%2)").arg(name).arg(static_cast<unsigned>(id), 8, 16, QChar('0'));
    m_notices << notice;
    m_noticeList->addItem(notice);
}
