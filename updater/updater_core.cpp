#include "updater/updater_core.h"

#include "platform/controls/twips.h"
#include "platform/runtime/runtime_error.h"
#include "platform/runtime/text.h"
#include "updater/window_layout.h"

#include <stdexcept>
#include <string>

namespace {

// The stored control of which `matches` holds.
const ControlLayout* findControl(const std::vector<ControlLayout>& controls,
                                 const std::function<bool(const ControlLayout&)>& matches)
{
    for (const ControlLayout& control : controls) {
        if (matches(control))
            return &control;
        if (const ControlLayout* inner = findControl(control.controls, matches))
            return inner;
    }
    return nullptr;
}

// The download control as the window's stored layout has it, with its stored properties.
std::unique_ptr<InternetFile> storedDownloadControl(inet::Internet& internet, std::function<void()> doEvents)
{
    const ControlLayout* spec = findControl(storedWindowLayout().controls,
                                            [](const ControlLayout& c) { return c.kind == ControlKind::InternetFile; });
    if (!spec)
        throw std::logic_error("the window's stored layout has no download control");
    auto control = std::make_unique<InternetFile>(internet, std::move(doEvents));
    control->load(storedPropertiesOf(*spec));
    control->setExtent(controls::twipsFromHimetric(storedNumber(*spec, "_ExtentX")),
                       controls::twipsFromHimetric(storedNumber(*spec, "_ExtentY")));
    return control;
}

}  // namespace

UpdaterCore::ShownView::ShownView(UpdateView& view) : m_view(view)
{
    // The buttons can be pressed as the stored layout has them until the procedure says otherwise.
    for (const ShownControl& control : shownControls(storedWindowLayout())) {
        if (control.button)
            m_enabled[static_cast<int>(*control.button)] = control.layout->enabled;
    }
}

void UpdaterCore::ShownView::setButtonEnabled(Button button, bool enabled)
{
    m_enabled[static_cast<int>(button)] = enabled;
    m_view.setButtonEnabled(button, enabled);
}

UpdaterCore::UpdaterCore(UpdaterSetup setup, UpdaterProgram program, UpdateView& view)
    : m_view(view)
    , m_boxes(program.boxes)
    , m_releaseFiles(setup.internet)
    , m_ctlIFile(storedDownloadControl(setup.internet, [this] { m_view.processEvents(); }))
    , m_controller(std::move(setup), std::move(program), m_view, m_releaseFiles, *m_ctlIFile)
    , m_site(m_controller.downloadHandlers())
{
    m_ctlIFile->setSite(&m_site);
    m_controller.Form_Load();
}

UpdaterCore::~UpdaterCore()
{
    m_ctlIFile->setSite(nullptr);
}

void UpdaterCore::press(Button button)
{
    switch (button) {
    case Button::basla: return handle([this] { m_controller.basla_Click(); });
    case Button::btniptal: return handle([this] { m_controller.btniptal_Click(); });
    case Button::cmdClose: return handle([this] { m_controller.cmdClose_Click(); });
    }
}

void UpdaterCore::pressLink()
{
    handle([this] { m_controller.lblActive_Click(); });
}

void UpdaterCore::closeRequested()
{
    handle([this] { m_controller.Form_QueryUnload(); });
}

KeyAction UpdaterCore::keyAction(Key key, bool onLink) const
{
    switch (key) {
    case Key::Escape: return m_view.enabled(Button::btniptal) ? KeyAction::PressCancel : KeyAction::Close;
    case Key::Return:
    case Key::Space: return onLink ? KeyAction::PressLink : KeyAction::None;
    }
    return KeyAction::None;
}

void UpdaterCore::handle(const std::function<void()>& step)
{
    try {
        step();
    } catch (const runtime::RuntimeError& error) {
        m_boxes.show(u"Run-time error '" + runtime::fromUtf8(std::to_string(error.number())) + u"':\r\n\r\n"
                         + error.description(),
                     u"", MessageIcon::Critical);
    }
}
