#include "platform/runtime/conversions.h"
#include "platform/runtime/runtime_error.h"
#include "tests/support/error_of.h"

#include "tests/support/printable.h"

#include <gtest/gtest.h>

using namespace runtime;

namespace {

struct IntegerCase {
    Variant input;
    int expected;  // the value, or the error number when `error` is set
    bool error;
};

void PrintTo(const IntegerCase& c, std::ostream* out)
{
    static const char* kinds[] = {"Empty", "Boolean", "Integer", "Long", "Double", "String", "Object"};
    *out << kinds[static_cast<int>(c.input.kind())];
    if (c.input.kind() != Variant::Kind::Empty)
        *out << " " << printable(runtime::toText(c.input));
}

class ToIntegerTest : public testing::TestWithParam<IntegerCase> {};

TEST_P(ToIntegerTest, ConvertsOrRaises)
{
    const IntegerCase& c = GetParam();
    if (c.error) {
        EXPECT_EQ(errorOf([&] { toInteger(c.input); }), c.expected);
    } else {
        EXPECT_EQ(toInteger(c.input), c.expected);
    }
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Table, ToIntegerTest, testing::Values(
    IntegerCase{std::int32_t{80}, 80, false},
    IntegerCase{u"81", 81, false},
    IntegerCase{u"  8080 ", 8080, false},
    IntegerCase{u"-32768", -32768, false},
    IntegerCase{u"32767", 32767, false},
    IntegerCase{2.5, 2, false},     // half to even
    IntegerCase{3.5, 4, false},
    IntegerCase{-2.5, -2, false},
    IntegerCase{u"1e3", 1000, false},
    IntegerCase{u"&H7FFF", 32767, false},
    IntegerCase{u"&HFFFF", -1, false},
    IntegerCase{True, -1, false},
    IntegerCase{Variant(), 0, false},
    IntegerCase{std::int32_t{40000}, error::kOverflow, true},
    IntegerCase{u"40000", error::kOverflow, true},
    IntegerCase{u"-32769", error::kOverflow, true},
    IntegerCase{32767.5, error::kOverflow, true},
    IntegerCase{u"abc", error::kTypeMismatch, true},
    IntegerCase{u"", error::kTypeMismatch, true},
    IntegerCase{u"12abc", error::kTypeMismatch, true},
    IntegerCase{u"--1", error::kTypeMismatch, true}));
// clang-format on

TEST(ToLong, RangeAndRounding)
{
    EXPECT_EQ(toLong(Variant(u" 2147483647 ")), 2147483647);
    EXPECT_EQ(toLong(Variant(u"-2147483648")), -2147483647 - 1);
    EXPECT_EQ(errorOf([] { toLong(Variant(u"2147483648")); }), error::kOverflow);
    EXPECT_EQ(errorOf([] { toLong(Variant(u"5000 bytes")); }), error::kTypeMismatch);
    EXPECT_EQ(toLong(0.5), 0);
    EXPECT_EQ(toLong(1.5), 2);
}

TEST(ToText, NumbersBooleansAndEmpty)
{
    EXPECT_EQ(toText(Variant(std::int16_t{-5})), u"-5");
    EXPECT_EQ(toText(Variant(std::int32_t{8080})), u"8080");
    EXPECT_EQ(toText(Variant(1.25)), u"1.25");
    EXPECT_EQ(toText(Variant(True)), u"True");
    EXPECT_EQ(toText(Variant(False)), u"False");
    EXPECT_EQ(toText(Variant()), u"");
}

TEST(VariantKind, KeepsWhatWasAssigned)
{
    EXPECT_EQ(Variant(std::int32_t{42}).kind(), Variant::Kind::Long);
    EXPECT_EQ(Variant(std::int16_t{42}).kind(), Variant::Kind::Integer);
    EXPECT_EQ(Variant(u"42").kind(), Variant::Kind::String);
    EXPECT_EQ(Variant(4.2).kind(), Variant::Kind::Double);
    EXPECT_EQ(Variant(True).kind(), Variant::Kind::Boolean);
    EXPECT_TRUE(Variant().isEmpty());
}

TEST(VariantEquality, AsThePropertyStoreCompares)
{
    EXPECT_EQ(Variant(std::int16_t{80}), Variant(std::int32_t{80}));
    EXPECT_EQ(Variant(u""), Variant());
    EXPECT_EQ(Variant(u"abc"), Variant(u"abc"));
    EXPECT_FALSE(Variant(u"80") == Variant(std::int32_t{80}));
    EXPECT_FALSE(Variant(u"a") == Variant(u"A"));
    EXPECT_FALSE(Variant(std::int32_t{81}) == Variant(std::int32_t{80}));
}

TEST(Bool16Test, TrueIsMinusOne)
{
    EXPECT_EQ(True.raw(), -1);
    EXPECT_EQ(False.raw(), 0);
    EXPECT_EQ(Bool16::fromRaw(1), True);
    EXPECT_EQ(toBoolean(Variant(u"True")), True);
}

TEST(RuntimeErrorTest, CarriesTheNumbersAndTextsCallersCompare)
{
    EXPECT_EQ(RuntimeError(6).description(), u"Overflow");
    EXPECT_EQ(RuntimeError(13).description(), u"Type mismatch");
    EXPECT_EQ(RuntimeError(53).description(), u"File not found");
    EXPECT_EQ(RuntimeError(75).description(), u"Path/File access error");
    EXPECT_EQ(controlArrayElementMissing(3).number(), 340);
    EXPECT_EQ(controlArrayElementMissing(3).description(), u"Control array element '3' doesn't exist");
}

}  // namespace
