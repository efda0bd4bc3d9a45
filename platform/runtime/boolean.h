#pragma once

#include <cstdint>

namespace runtime {

// The run-time's 16-bit Boolean: True is -1, False is 0. This is the form in
// which a Boolean is stored or crosses a control boundary.
class Bool16 {
public:
    constexpr Bool16() noexcept = default;
    constexpr Bool16(bool value) noexcept : m_value(value ? -1 : 0) {}  // NOLINT: implicit by design

    // Any nonzero raw value counts as True, as the run-time's tests of a Boolean do.
    static constexpr Bool16 fromRaw(std::int16_t raw) noexcept { return Bool16(raw != 0); }

    constexpr explicit operator bool() const noexcept { return m_value != 0; }
    constexpr std::int16_t raw() const noexcept { return m_value; }

    friend constexpr bool operator==(Bool16 a, Bool16 b) noexcept { return a.m_value == b.m_value; }

private:
    std::int16_t m_value = 0;
};

inline constexpr Bool16 True{true};
inline constexpr Bool16 False{false};

}  // namespace runtime
