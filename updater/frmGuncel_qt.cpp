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

    for (const ControlLayout& control : layout.controls)
        createControl(control, this);
    if (!basla || !btniptal || !cmdClose || !lblActive || !pbar || !bar1)
        throw std::logic_error("the window's stored layout lacks one of its working controls");

    std::vector<std::pair<int, QWidget*>> tabbable;
    for (auto it = m_tabbable.begin(); it != m_tabbable.end(); ++it)
        tabbable.emplace_back(m_tabIndex.value(it.key()), it.value());
    std::sort(tabbable.begin(), tabbable.end());
    for (std::size_t i = 1; i < tabbable.size(); ++i)
        QWidget::setTabOrder(tabbable[i - 1].second, tabbable[i].second);

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    m_core = std::make_unique<UpdaterCore>(std::move(setup), std::move(program), static_cast<UpdateView&>(*this),
                                           [] { QCoreApplication::processEvents(); });
    connect(basla, &PictureButton::clicked, this, [this] { m_core->press(Button::basla); });
    connect(btniptal, &PictureButton::clicked, this, [this] { m_core->press(Button::btniptal); });
    connect(cmdClose, &PictureButton::clicked, this, [this] { m_core->press(Button::cmdClose); });
    lblActive->installEventFilter(this);
    basla->setFocus();  // once the window is active: the first button of the tab order
    if (m_core->startsAtOnce())
        QTimer::singleShot(0, this, [this] { basla->click(); });
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
    case KeyAction::PressCancel: btniptal->click(); break;
    case KeyAction::Close: close(); break;
    case KeyAction::PressLink: m_core->pressLink(); break;
    }
    return true;
}

bool frmGuncel::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != lblActive || !lblActive->isEnabled())
        return QWidget::eventFilter(watched, event);
    if (event->type() == QEvent::MouseButtonRelease && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton
        && lblActive->rect().contains(static_cast<QMouseEvent*>(event)->position().toPoint())) {
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
    lblActive->setEnabled(enabled);
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

void frmGuncel::createControl(const ControlLayout& spec, QWidget* container)
{
    const QString name = qt(spec.name);
    if (!shownInWindow(spec.kind))
        return;
    if (spec.tabIndex)
        m_tabIndex.insert(name, *spec.tabIndex);

    QWidget* widget = nullptr;
    switch (spec.kind) {
    case ControlKind::CommandButton: {
        auto* button = new PictureButton(container);
        button->setText(qt(spec.caption));
        button->setIcon(QIcon(picturePath(spec.picture, ".png")));
        button->setIconSize(QSize(kButtonIconSize, kButtonIconSize));
        widget = button;
        m_tabbable.insert(name, button);
        if (name == u"basla")
            basla = button;
        else if (name == u"btniptal")
            btniptal = button;
        else if (name == u"cmdClose")
            cmdClose = button;
        break;
    }
    case ControlKind::Label: {
        auto* label =
            name == u"lblActive" ? new LinkLabel(qt(spec.caption), container) : new QLabel(qt(spec.caption), container);
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
        if (auto* link = qobject_cast<LinkLabel*>(label)) {
            lblActive = link;
            m_tabbable.insert(name, link);
        }
        break;
    }
    case ControlKind::Frame: widget = new QGroupBox(qt(spec.caption), container); break;
    case ControlKind::ProgressBar:
        pbar = new ProgressBar(container);
        pbar->setColours(static_cast<unsigned>(storedNumber(spec, "forecolor")),
                         static_cast<unsigned>(storedNumber(spec, "barforecolor")));
        pbar->setTextVisible(storedFlag(spec, "showtext"));
        widget = pbar;
        break;
    case ControlKind::StatusBar:
        bar1 = new StatusBar(container);
        for (const auto& [width, text] : spec.panels)
            bar1->addPanel(pixels(width), qt(text));
        widget = bar1;
        break;
    case ControlKind::WebBrowser:
    case ControlKind::InternetFile:
    case ControlKind::Inet: return;
    }

    widget->setObjectName(name);
    widget->setGeometry(QRect(pixels(spec.left), pixels(spec.top), pixels(spec.width), pixels(spec.height)));
    if (spec.font)
        widget->setFont(fontFrom(*spec.font));
    widget->setEnabled(spec.enabled);
    widget->setVisible(spec.visible);

    // A substituted font may be wider than the one the layout was made with: a label grows to
    // show its whole text rather than cut it.
    if (auto* label = qobject_cast<QLabel*>(widget))
        label->resize(std::max(label->width(), label->sizeHint().width()), label->height());

    for (const ControlLayout& child : spec.controls)
        createControl(child, widget);
}
