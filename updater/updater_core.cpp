#include "updater/updater_core.h"

#include "platform/controls/twips.h"
#include "platform/runtime/runtime_error.h"
#include "platform/runtime/text.h"
#include "updater/window_layout.h"

#include <stdexcept>
#include <string>

namespace {

const ControlLayout* findKind(const std::vector<ControlLayout>& controls, std::u16string_view kind)
{
    for (const ControlLayout& control : controls) {
        if (control.kind == kind)
            return &control;
        if (const ControlLayout* inner = findKind(control.controls, kind))
            return inner;
    }
    return nullptr;
}

// The download control as the window's stored layout has it, with its stored properties.
std::unique_ptr<InternetFile> storedDownloadControl(inet::Internet& internet, std::function<void()> doEvents)
{
    const ControlLayout* spec = findKind(storedWindowLayout().controls, u"updatelirvanePlus.InternetFile");
    if (!spec)
        throw std::logic_error("the window's stored layout has no download control");
    auto control = std::make_unique<InternetFile>(internet, std::move(doEvents));
    control->load(storedPropertiesOf(*spec));
    control->setExtent(controls::twipsFromHimetric(storedNumber(*spec, "_ExtentX")),
                       controls::twipsFromHimetric(storedNumber(*spec, "_ExtentY")));
    return control;
}

}  // namespace

UpdaterCore::UpdaterCore(UpdaterSetup setup, UpdaterProgram program, UpdateView& view, std::function<void()> doEvents)
    : m_boxes(program.boxes)
    , m_signatures(setup.internet)
    , m_ctlIFile(storedDownloadControl(setup.internet, doEvents))
    , m_controller(UpdaterEnvironment{std::move(setup), std::move(program), view, std::move(doEvents), m_signatures},
                   *m_ctlIFile)
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
