#include "platform/com/registry.h"

#include <gtest/gtest.h>

namespace {

TEST(RegistryText, LfAndCrLfReadAlike)
{
    const auto lf = com::Registry::parse("[Key\\Sub]\n@=default\nName=value\n\n");
    const auto crlf = com::Registry::parse("[Key\\Sub]\r\n@=default\r\nName=value\r\n\r\n");
    ASSERT_TRUE(lf && crlf);
    EXPECT_EQ(crlf->value("key\\sub"), "default");
    EXPECT_EQ(crlf->value("Key\\Sub", "Name"), "value");
    EXPECT_EQ(lf->text(), crlf->text());
}

TEST(RegistryText, ALineThatIsNoKeyOrValueMakesItNoStore)
{
    for (const char* text : {"no section first=1\n", "[Key]\njust words\n", "[Key]\n\x01\x02\n", "[Key]\nname=a\rb\n"})
        EXPECT_FALSE(com::Registry::parse(text).has_value()) << text;
}

TEST(RegistryText, EverythingAcceptedReadsBackExactly)
{
    auto registry = com::Registry::parse("");
    ASSERT_TRUE(registry);
    EXPECT_TRUE(registry->setValue("CLSID\\{X}", "", "/path with [brackets]/a=b, 30000"));
    EXPECT_TRUE(registry->setValue("Şimdi", "Name]", "[not a key]"));
    const auto again = com::Registry::parse(registry->text());
    ASSERT_TRUE(again);
    EXPECT_EQ(again->text(), registry->text());
    EXPECT_EQ(again->value("CLSID\\{X}"), "/path with [brackets]/a=b, 30000");
    EXPECT_EQ(again->value("Şimdi", "Name]"), "[not a key]");
}

TEST(RegistryText, WhatWouldReadBackOtherwiseIsRefused)
{
    struct Case {
        std::string key, name, value;
    };
    for (const Case& c : std::vector<Case>{{"A\n[B]", "", "x"},
                                           {"A", "n\rm", "x"},
                                           {"A", "", "x\n[Injected]\n@=y"},
                                           {"A", "a=b", "x"},
                                           {"A", "[B]", "x"},
                                           {"A", "@", "x"},
                                           {"", "", "x"}}) {
        auto registry = com::Registry::parse("");
        EXPECT_FALSE(registry->setValue(c.key, c.name, c.value)) << c.key << " " << c.name << " " << c.value;
        EXPECT_EQ(registry->text(), "");
    }
}

}  // namespace
