#include "updater/frmGuncel_qt.h"

#include "platform/controls/twips.h"
#include "updater/window_layout.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <algorithm>
#include <optional>
#include <stdexcept>

namespace {

constexpr int kButtonIconSize = 32;

int pixels(int twips)
{
    using controls::kTwipsPerPixel;
    return (twips + kTwipsPerPixel / 2) / kTwipsPerPixel;
}

QString qt(const std::u16string& text)
{
    return QString::fromStdU16String(text);
}

QFont fontFrom(const FontLayout& spec)
{
    // MS Sans Serif is missing on most systems: Liberation Sans keeps close to its widths, and
    // the sans-serif hint lets the font matcher take the nearest installed sans font otherwise.
    static const bool substituted = [] {
        QFont::insertSubstitutions(
            QStringLiteral("MS Sans Serif"),
            {QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"), QStringLiteral("DejaVu Sans Condensed")});
        return true;
    }();
    (void)substituted;
    QFont font(qt(spec.name));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(spec.size);
    font.setBold(spec.bold);
    return font;
}

// A picture of the window, by the name the layout gives it.
QString picturePath(const std::u16string& name, const char* suffix)
{
    return QStringLiteral(":/frmGuncel/") + qt(name) + QLatin1String(suffix);
}

}  // namespace

frmGuncel::frmGuncel(UpdaterSetup setup, UpdaterProgram program, QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                          | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
{
    const WindowLayout& layout = storedWindowLayout();
    setObjectName(qt(layout.name));
    setWindowTitle(qt(layout.caption));
    setFont(fontFrom(layout.font));
    setWindowIcon(QIcon(picturePath(layout.icon, ".png")));
    setFixedSize(pixels(layout.clientWidth), pixels(layout.clientHeight));

    const std::vector<ShownControl> shown = shownControls(layout);
    std::vector<QWidget*> widgets;
    for (const ShownControl& control : shown)
        widgets.push_back(createControl(control, control.container < 0 ? this : widgets[control.container]));
    const std::vector<std::size_t> order = tabOrder(shown);
    for (std::size_t i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(widgets[order[i - 1]], widgets[order[i]]);

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    m_core = std::make_unique<UpdaterCore>(std::move(setup), std::move(program), static_cast<UpdateView&>(*this));
    connect(m_basla, &PictureButton::clicked, this, [this] { m_core->press(Button::basla); });
    connect(m_btniptal, &PictureButton::clicked, this, [this] { m_core->press(Button::btniptal); });
    connect(m_cmdClose, &PictureButton::clicked, this, [this] { m_core->press(Button::cmdClose); });
    m_lblActive->installEventFilter(this);
    m_basla->setFocus();  // once the window is active: the first button of the tab order
    if (m_core->startsAtOnce())
        QTimer::singleShot(0, this, [this] { m_basla->click(); });
}

frmGuncel::~frmGuncel() = default;

void frmGuncel::closeEvent(QCloseEvent* event)
{
    m_core->closeRequested();
    event->accept();
}

namespace {

// The window's own key of a key event; nullopt for any other, and for a key held down (only
// its first press acts).
std::optional<Key> windowKey(const QKeyEvent& event)
{
    if (event.isAutoRepeat())
        return std::nullopt;
    switch (event.key()) {
    case Qt::Key_Escape: return Key::Escape;
    case Qt::Key_Return:
    case Qt::Key_Enter: return Key::Return;
    case Qt::Key_Space: return Key::Space;
    default: return std::nullopt;
    }
}

}  // namespace

void frmGuncel::keyPressEvent(QKeyEvent* event)
{
    const auto key = windowKey(*event);
    if (key && act(m_core->keyAction(*key, false)))
        return event->accept();
    QWidget::keyPressEvent(event);
}

bool frmGuncel::act(KeyAction action)
{
    switch (action) {
    case KeyAction::None: return false;
    case KeyAction::PressCancel: m_btniptal->click(); break;
    case KeyAction::Close: close(); break;
    case KeyAction::PressLink: m_core->pressLink(); break;
    }
    return true;
}

bool frmGuncel::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_lblActive || !m_lblActive->isEnabled())
        return QWidget::eventFilter(watched, event);
    if (event->type() == QEvent::MouseButtonRelease && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton
        && m_lblActive->rect().contains(static_cast<QMouseEvent*>(event)->position().toPoint())) {
        m_core->pressLink();
        return true;
    }
    if (event->type() == QEvent::KeyPress) {
        const auto key = windowKey(*static_cast<QKeyEvent*>(event));
        return key && act(m_core->keyAction(*key, true));
    }
    return QWidget::eventFilter(watched, event);
}

void frmGuncel::setLinkEnabled(bool enabled)
{
    m_lblActive->setEnabled(enabled);
}

void frmGuncel::processEvents()
{
    QCoreApplication::processEvents();
}

void frmGuncel::setStatusText(const std::u16string& text)
{
    m_bar1->setPanelText(1, QString::fromStdU16String(text));
}

PictureButton*& frmGuncel::buttonNamed(Button button)
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
    buttonNamed(button)->setEnabled(enabled);
}

void frmGuncel::setProgressMax(std::int32_t maximum)
{
    m_pbar->setMaximum(progressMaximum(maximum));
}

void frmGuncel::setProgressValue(std::int32_t value)
{
    m_pbar->setValue(progressPosition(value, m_pbar->maximum()));
}

void frmGuncel::setProgressText(const std::u16string& text)
{
    m_pbar->setCaption(QString::fromStdU16String(text));
}

QWidget* frmGuncel::createControl(const ShownControl& control, QWidget* container)
{
    const ControlLayout& spec = *control.layout;
    QWidget* widget = nullptr;
    switch (spec.kind) {
    case ControlKind::CommandButton: {
        auto* button = new PictureButton(container);
        button->setText(qt(spec.caption));
        button->setIcon(QIcon(picturePath(spec.picture, ".png")));
        button->setIconSize(QSize(kButtonIconSize, kButtonIconSize));
        widget = button;
        if (control.button)
            buttonNamed(*control.button) = button;
        break;
    }
    case ControlKind::Label: {
        QLabel* label = nullptr;
        if (control.link)
            label = m_lblActive = new LinkLabel(qt(spec.caption), container);
        else
            label = new QLabel(qt(spec.caption), container);
        label->setTextFormat(Qt::PlainText);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        if (spec.foreColor) {
            QPalette palette = label->palette();
            palette.setColor(QPalette::WindowText, QColor(windowsColourName(*spec.foreColor)));
            label->setPalette(palette);
        }
        if (!spec.mouseIcon.empty())
            label->setCursor(QCursor(QPixmap(picturePath(spec.mouseIcon, ".png")), spec.mouseIconHotSpot.first,
                                     spec.mouseIconHotSpot.second));
        widget = label;
        break;
    }
    case ControlKind::Frame: widget = new QGroupBox(qt(spec.caption), container); break;
    case ControlKind::ProgressBar:
        m_pbar = new ProgressBar(container);
        m_pbar->setColours(static_cast<unsigned>(storedNumber(spec, "forecolor")),
                           static_cast<unsigned>(storedNumber(spec, "barforecolor")));
        m_pbar->setTextVisible(storedFlag(spec, "showtext"));
        widget = m_pbar;
        break;
    case ControlKind::StatusBar:
        m_bar1 = new StatusBar(container);
        for (const auto& [width, text] : spec.panels)
            m_bar1->addPanel(pixels(width), qt(text));
        widget = m_bar1;
        break;
    case ControlKind::WebBrowser:
    case ControlKind::InternetFile:
    case ControlKind::Inet: throw std::logic_error("a windowless control is never shown");
    }

    widget->setObjectName(qt(spec.name));
    widget->setGeometry(QRect(pixels(spec.left), pixels(spec.top), pixels(spec.width), pixels(spec.height)));
    if (spec.font)
        widget->setFont(fontFrom(*spec.font));
    widget->setEnabled(spec.enabled);
    widget->setVisible(spec.visible);
    if (growsToText(spec.kind))
        widget->resize(std::max(widget->width(), widget->sizeHint().width()), widget->height());
    return widget;
}
