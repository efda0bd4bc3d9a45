#include "updater/frmGuncel.h"

#include "platform/controls/property_bag.h"
#include "platform/controls/twips.h"
#include "platform/runtime/runtime_error.h"
#include "platform/runtime/text.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QMouseEvent>
#include <QFile>
#include <QIcon>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPixmap>
#include <QScreen>
#include <algorithm>

namespace {

constexpr int kButtonIconSize = 32;

int pixels(const QJsonValue& twips)
{
    using controls::kTwipsPerPixel;
    return (twips.toInt() + kTwipsPerPixel / 2) / kTwipsPerPixel;
}

QFont fontFrom(const QJsonObject& spec)
{
    // MS Sans Serif is missing on most systems: Liberation Sans keeps close to its widths, and
    // the sans-serif hint lets the font matcher take the nearest installed sans font otherwise.
    static const bool substituted = [] {
        QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                                   {QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"),
                                    QStringLiteral("DejaVu Sans Condensed")});
        return true;
    }();
    (void)substituted;
    QFont font(spec.value("name").toString());
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(spec.value("size").toDouble());
    font.setBold(spec.value("bold").toBool());
    return font;
}

QJsonObject loadLayout()
{
    QFile file(QStringLiteral(":/frmGuncel/frmGuncel.json"));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("The window's stored layout is missing");
    return QJsonDocument::fromJson(file.readAll()).object();
}

// The control's own persisted values from its stored data; keys with a leading "_" belong to
// the container (extents).
controls::PropertyBag propertyBagFrom(const QJsonObject& properties)
{
    std::vector<controls::PropertyBag::Entry> entries;
    for (auto it = properties.begin(); it != properties.end(); ++it) {
        if (it.key().startsWith('_'))
            continue;
        runtime::Variant value;
        if (it.value().isString())
            value = it.value().toString().toStdU16String();
        else if (it.value().isBool())
            value = runtime::Bool16(it.value().toBool());
        else
            value = it.value().toDouble();
        entries.emplace_back(it.key().toStdU16String(), value);
    }
    return controls::PropertyBag(std::move(entries));
}

}  // namespace

frmGuncel::frmGuncel(UpdaterServices services, QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint
                          | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
    , m_services(std::move(services))
    , m_signatures(m_services.internet)
{
    const QJsonObject layout = loadLayout();
    setObjectName(layout.value("name").toString());
    setWindowTitle(layout.value("caption").toString());
    setFont(fontFrom(layout.value("font").toObject()));
    setWindowIcon(QIcon(layout.value("icon").toString()));
    setFixedSize(pixels(layout.value("clientWidth")), pixels(layout.value("clientHeight")));

    for (const QJsonValue control : layout.value("controls").toArray())
        createControl(control.toObject(), this);

    std::vector<std::pair<int, QWidget*>> tabbable;
    for (auto it = m_tabbable.begin(); it != m_tabbable.end(); ++it)
        tabbable.emplace_back(m_tabIndex.value(it.key()), it.value());
    std::sort(tabbable.begin(), tabbable.end());
    for (std::size_t i = 1; i < tabbable.size(); ++i)
        QWidget::setTabOrder(tabbable[i - 1].second, tabbable[i].second);

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    m_controller = std::make_unique<UpdateController>(
        UpdaterEnvironment{*this, m_services.boxes, m_services.shell, m_services.Inet1, m_services.WebBrowser1,
                           [] { QCoreApplication::processEvents(); }, m_services.endProgram,
                           m_services.appFolder, m_services.updateHost, m_services.vendorHost, m_signatures,
                           m_services.updateKey},
        *ctlIFile);
    ctlIFile->setSite(m_controller.get());
    connect(basla, &PictureButton::clicked, this, [this] { handle([this] { m_controller->basla_Click(); }); });
    connect(btniptal, &PictureButton::clicked, this, [this] { handle([this] { m_controller->btniptal_Click(); }); });
    connect(cmdClose, &PictureButton::clicked, this, [this] { handle([this] { m_controller->cmdClose_Click(); }); });
    lblActive->installEventFilter(this);

    m_controller->Form_Load();
}

frmGuncel::~frmGuncel()
{
    if (ctlIFile)
        ctlIFile->setSite(nullptr);
}

void frmGuncel::handle(const std::function<void()>& handler)
{
    // No error may leave a handler into the event loop: one that no step traps is reported as
    // the run-time reports it, and the window goes on.
    try {
        handler();
    } catch (const runtime::RuntimeError& error) {
        m_services.boxes.show(u"Run-time error '" + runtime::fromUtf8(std::to_string(error.number())) + u"':\r\n\r\n"
                                  + error.description(),
                              u"", MessageIcon::Critical);
    }
}

void frmGuncel::closeEvent(QCloseEvent* event)
{
    handle([this] { m_controller->Form_QueryUnload(); });
    event->accept();
}

bool frmGuncel::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == lblActive && event->type() == QEvent::MouseButtonRelease
        && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton
        && lblActive->rect().contains(static_cast<QMouseEvent*>(event)->position().toPoint())) {
        handle([this] { m_controller->lblActive_Click(); });
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void frmGuncel::setStatusText(const std::u16string& text)
{
    bar1->setPanelText(1, QString::fromStdU16String(text));
}

void frmGuncel::setButtonEnabled(Button button, bool enabled)
{
    switch (button) {
    case Button::basla: basla->setEnabled(enabled); break;
    case Button::btniptal: btniptal->setEnabled(enabled); break;
    case Button::cmdClose: cmdClose->setEnabled(enabled); break;
    }
}

void frmGuncel::setProgressMax(std::int32_t maximum)
{
    pbar->setMaximum(maximum);
}

void frmGuncel::setProgressValue(std::int32_t value)
{
    // The bar shows a value beyond its range at the range's end rather than not at all.
    pbar->setValue(std::clamp(value, pbar->minimum(), pbar->maximum()));
}

void frmGuncel::setProgressText(const std::u16string& text)
{
    pbar->setCaption(QString::fromStdU16String(text));
}

void frmGuncel::createControl(const QJsonObject& spec, QWidget* container)
{
    const QString name = spec.value("name").toString();
    const QString kind = spec.value("kind").toString();
    const QString caption = spec.value("caption").toString();
    const QRect geometry(pixels(spec.value("left")), pixels(spec.value("top")), pixels(spec.value("width")),
                         pixels(spec.value("height")));
    m_creationOrder << name;
    if (spec.contains("tabIndex"))
        m_tabIndex.insert(name, spec.value("tabIndex").toInt());

    QWidget* widget = nullptr;
    if (kind == u"updatelirvanePlus.InternetFile") {
        ctlIFile = std::make_unique<InternetFile>(m_services.internet, [] { QCoreApplication::processEvents(); });
        ctlIFile->load(propertyBagFrom(spec.value("properties").toObject()));
        const QJsonObject properties = spec.value("properties").toObject();
        ctlIFile->setExtent(controls::twipsFromHimetric(properties.value("_ExtentX").toDouble()),
                            controls::twipsFromHimetric(properties.value("_ExtentY").toDouble()));
        return;
    }
    if (kind == u"InetCtlsObjects.Inet")
        return;  // a component without a window; the update procedure reads through it

    if (kind == u"VB.CommandButton") {
        auto* button = new PictureButton(container);
        button->setText(caption);
        button->setIcon(QIcon(spec.value("picture").toString()));
        button->setIconSize(QSize(kButtonIconSize, kButtonIconSize));
        widget = button;
        m_tabbable.insert(name, button);
        if (name == u"basla")
            basla = button;
        else if (name == u"btniptal")
            btniptal = button;
        else if (name == u"cmdClose")
            cmdClose = button;
    } else if (kind == u"VB.Label") {
        auto* label = new QLabel(caption, container);
        label->setTextFormat(Qt::PlainText);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        if (spec.contains("foreColor")) {
            QPalette palette = label->palette();
            palette.setColor(QPalette::WindowText,
                             QColor(windowsColourName(static_cast<unsigned>(spec.value("foreColor").toInteger()))));
            label->setPalette(palette);
        }
        if (spec.contains("mouseIcon")) {
            const QJsonArray hotSpot = spec.value("mouseIconHotSpot").toArray();
            label->setCursor(QCursor(QPixmap(spec.value("mouseIcon").toString()), hotSpot.at(0).toInt(),
                                     hotSpot.at(1).toInt()));
        }
        widget = label;
        if (name == u"lblBilgi")
            lblBilgi = label;
        else if (name == u"lblActive")
            lblActive = label;
    } else if (kind == u"VB.Frame") {
        Frame2 = new QGroupBox(caption, container);
        widget = Frame2;
    } else if (kind == u"vbalProgBarLib6.vbalProgressBar") {
        pbar = new ProgressBar(container);
        const QJsonObject properties = spec.value("properties").toObject();
        pbar->setColours(static_cast<unsigned>(properties.value("forecolor").toInteger()),
                         static_cast<unsigned>(properties.value("barforecolor").toInteger()));
        pbar->setTextVisible(properties.value("showtext").toBool());
        widget = pbar;
    } else if (kind == u"MSComctlLib.StatusBar") {
        bar1 = new StatusBar(container);
        for (const QJsonValue panel : spec.value("panels").toArray())
            bar1->addPanel(pixels(panel.toObject().value("width")), panel.toObject().value("text").toString());
        widget = bar1;
    } else if (kind == u"SHDocVwCtl.WebBrowser") {
        WebBrowser1 = new QWidget(container);
        widget = WebBrowser1;
    } else {
        qFatal("Unknown control kind in the stored layout");
    }

    widget->setObjectName(name);
    widget->setGeometry(geometry);
    if (spec.contains("font"))
        widget->setFont(fontFrom(spec.value("font").toObject()));
    widget->setEnabled(spec.value("enabled").toBool(true));
    widget->setVisible(spec.value("visible").toBool(true));

    // A substituted font may be wider than the one the layout was made with: a label grows to
    // show its whole text rather than cut it.
    if (auto* label = qobject_cast<QLabel*>(widget))
        label->resize(std::max(label->width(), label->sizeHint().width()), label->height());

    for (const QJsonValue child : spec.value("controls").toArray())
        createControl(child.toObject(), widget);
}
