#include "clock/user_control1.h"

#include "clock/picture.h"
#include "clock/strip_pictures.h"
#include "platform/controls/twips.h"
#include "platform/runtime/conversions.h"
#include "platform/runtime/runtime_error.h"

#include <algorithm>
#include <stdexcept>

namespace {

using controls::kTwipsPerPixel;

Picture strip(const std::string& name)
{
    Picture picture = decodeBitmap(clockResource(name));
    if (picture.width() == 0)
        throw std::runtime_error("the clock's strip picture " + name + " is missing from its resources");
    return picture;
}

}  // namespace

UserControl1::UserControl1(std::function<ClockTime()> now, const ClockWindowFactory& makeWindow)
    : m_now(now ? std::move(now) : localTimeOfDay)
    , m_renderer(clpDigits, clpPunctuation, imgDigits, imgPunctuation, imgClock, [this] { return m_now(); })
{
    for (int style = 0; style < strips::kStyles; ++style) {
        imgDigits.add(std::make_unique<HeldPicture>(pictureVariant(strip(strips::digitStripName(style)))));
        imgPunctuation.add(std::make_unique<HeldPicture>(pictureVariant(strip(strips::punctuationStripName(style)))));
    }
    imgClock.add(std::make_unique<PaintedElement>());
    m_members.addProperty(
        kStyleId, u"Style", [this] { return runtime::Variant(m_Style); },
        [this](const runtime::Variant& v) { setStyle(runtime::toLong(v)); });

    // The creation sequence.
    clpDigits.setCols(strips::kDigitCells);
    clpPunctuation.setCols(strips::kPunctuationCells);
    m_renderer.ApplyStyle(0, false);
    m_renderer.buildClockRow();
    m_renderer.ShowTime(m_now());

    m_window = makeWindow([this] { return imgClock.compose(); });
    keepExtent(kDesignWidth, kDesignHeight);
    m_window->startTimer(kTimerInterval, [this] { Timer1_Timer(); });
}

UserControl1::~UserControl1() = default;

void UserControl1::setStyle(std::int32_t New_Style)
{
    m_Style = New_Style;
    propertyChanged(u"Style");
    applyStyleValue();
}

void UserControl1::applyStyleValue()
{
    const std::int16_t index = runtime::toInteger(static_cast<double>(m_Style));
    m_renderer.ApplyStyle(index, true);
    m_styleInForce = m_Style;
    m_window->invalidate();
}

void UserControl1::initProperties()
{
    m_Style = 0;
}

void UserControl1::readProperties(const controls::PropertyStore& store)
{
    try {
        m_Style = runtime::toLong(store.readProperty(u"Style", std::int32_t{0}));
        if (m_Style != m_styleInForce)
            applyStyleValue();
    } catch (const runtime::RuntimeError&) {
        m_Style = m_styleInForce;
    }
}

void UserControl1::writeProperties(controls::PropertyStore& store)
{
    store.writeProperty(u"Style", m_styleInForce, std::int32_t{0});
}

int UserControl1::extentWidth() const noexcept
{
    return m_width * kTwipsPerPixel;
}

int UserControl1::extentHeight() const noexcept
{
    return m_height * kTwipsPerPixel;
}

void UserControl1::keepExtent(int width, int height)
{
    // The clock row stays at the top-left corner; the rest of the control shows its ground.
    m_width = std::max(0, width / kTwipsPerPixel);
    m_height = std::max(0, height / kTwipsPerPixel);
    m_window->resize(m_width, m_height);
}

void UserControl1::Timer1_Timer()
{
    try {
        m_renderer.ShowTime(m_now());
    } catch (const runtime::RuntimeError&) {
        // A tick that fails draws nothing more; the next tick tries again.
    }
    m_window->invalidate();
}

runtime::Variant UserControl1::invoke(controls::DispId id, controls::InvokeKind kind, std::span<runtime::Variant> args)
{
    return m_members.invoke(id, kind, args);
}
