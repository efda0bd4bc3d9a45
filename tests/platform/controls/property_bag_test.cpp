#include "platform/controls/property_bag.h"
#include "platform/runtime/conversions.h"

#include <gtest/gtest.h>

using controls::PropertyBag;
using runtime::Variant;

TEST(PropertyBag, AbsentKeyGivesTheDefault)
{
    const PropertyBag bag;
    EXPECT_EQ(runtime::toLong(bag.readProperty(u"Port", std::int32_t{80})), 80);
    EXPECT_EQ(bag.readProperty(u"Url", u"").kind(), Variant::Kind::String);
}

TEST(PropertyBag, ValueEqualToItsDefaultIsLeftOut)
{
    PropertyBag bag;
    bag.writeProperty(u"Port", std::int16_t{80}, std::int32_t{80});
    bag.writeProperty(u"Url", u"", u"");
    EXPECT_TRUE(bag.entries().empty());

    bag.writeProperty(u"Port", std::int16_t{81}, std::int32_t{80});
    ASSERT_EQ(bag.entries().size(), 1u);
    EXPECT_EQ(bag.entries()[0].first, u"Port");
    EXPECT_EQ(runtime::toLong(bag.readProperty(u"Port", std::int32_t{80})), 81);

    // Writing the default again removes the stored value.
    bag.writeProperty(u"Port", std::int16_t{80}, std::int32_t{80});
    EXPECT_FALSE(bag.contains(u"Port"));
}

TEST(PropertyBag, KeepsTheOrderOfFirstWriting)
{
    PropertyBag bag;
    bag.writeProperty(u"B", u"1", u"");
    bag.writeProperty(u"A", u"2", u"");
    bag.writeProperty(u"B", u"3", u"");
    ASSERT_EQ(bag.entries().size(), 2u);
    EXPECT_EQ(bag.entries()[0].first, u"B");
    EXPECT_EQ(bag.entries()[1].first, u"A");
}
