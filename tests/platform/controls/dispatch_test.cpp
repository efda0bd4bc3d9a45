#include "platform/controls/dispatch.h"
#include "platform/runtime/conversions.h"
#include "platform/runtime/runtime_error.h"
#include "tests/support/error_of.h"

#include <gtest/gtest.h>

using namespace controls;
using runtime::RuntimeError;
using runtime::Variant;

namespace {

class Counter : public Dispatch {
public:
    Counter()
    {
        m_table.addProperty(
            1, u"Value", [this] { return Variant(m_value); },
            [this](const Variant& v) { m_value = runtime::toInteger(v); });
        m_table.addProperty(2, u"Twice", [this] { return Variant(std::int32_t{m_value * 2}); });
        m_table.addMethod(3, u"Increment", [this] { ++m_value; });
    }
    Variant invoke(DispId id, InvokeKind kind, std::span<Variant> args) override
    {
        return m_table.invoke(id, kind, args);
    }
    std::int16_t m_value = 0;
    DispatchTable m_table;
};

TEST(DispatchTable, GetPutAndCallByIdentifier)
{
    Counter counter;
    dispatchPut(counter, 1, u"41");
    dispatchCall(counter, 3);
    EXPECT_EQ(runtime::toLong(dispatchGet(counter, 1)), 42);
    EXPECT_EQ(runtime::toLong(dispatchGet(counter, 2)), 84);
    EXPECT_EQ(counter.m_table.nameOf(3), u"Increment");
}

TEST(DispatchTable, ErrorsComeBackToTheCaller)
{
    Counter counter;
    EXPECT_EQ(errorOf([&] { dispatchGet(counter, 99); }), 438);
    EXPECT_EQ(errorOf([&] { dispatchPut(counter, 2, std::int32_t{1}); }), 383);
    EXPECT_EQ(errorOf([&] { dispatchCall(counter, 1); }), 438);
    EXPECT_EQ(errorOf([&] { dispatchPut(counter, 1, std::int32_t{40000}); }), 6);
    EXPECT_EQ(counter.m_value, 0);  // a failed conversion stores nothing
}

}  // namespace
