#pragma once

#include "platform/runtime/variant.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The run-time's checked conversions, whose errors callers trap and compare. Out of range raises error 6 "Overflow"; a
// text that is no number raises error 13 "Type mismatch"; fractions round half to even.
namespace runtime {

std::int16_t toInteger(double value);
std::int32_t toLong(double value);
std::int16_t toInteger(const Variant& value);
std::int32_t toLong(const Variant& value);
double toDouble(const Variant& value);
Bool16 toBoolean(const Variant& value);
// Text of a value: numbers in decimal, Booleans as "True"/"False", Empty as "".
std::u16string toText(const Variant& value);

// Reads a number from a text as the run-time does: surrounding blanks allowed, optional sign,
// digits with an optional fraction and exponent, or a hexadecimal "&H" form. nullopt when the
// text is no number.
std::optional<double> parseNumber(std::u16string_view text);

}  // namespace runtime
