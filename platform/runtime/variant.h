#pragma once

#include "platform/runtime/boolean.h"

#include <cstdint>
#include <memory>
#include <string>
#include <variant>

namespace runtime {

// Base of every object that a Variant can hold (pictures, controls reached by dispatch).
class Object {
public:
    virtual ~Object() = default;
};

using ObjectRef = std::shared_ptr<Object>;

// A value that keeps the kind of what was assigned to it: Empty, Boolean, Integer (16-bit),
// Long (32-bit), Double, String or Object.
class Variant {
public:
    enum class Kind { Empty, Boolean, Integer, Long, Double, String, Object };

    Variant() = default;
    Variant(Bool16 value) : m_value(value) {}                           // NOLINT: implicit by design
    Variant(std::int16_t value) : m_value(value) {}                     // NOLINT
    Variant(std::int32_t value) : m_value(value) {}                     // NOLINT
    Variant(double value) : m_value(value) {}                           // NOLINT
    Variant(std::u16string value) : m_value(std::move(value)) {}        // NOLINT
    Variant(const char16_t* value) : m_value(std::u16string(value)) {}  // NOLINT
    Variant(ObjectRef value) : m_value(std::move(value)) {}             // NOLINT

    Kind kind() const noexcept { return static_cast<Kind>(m_value.index()); }
    bool isEmpty() const noexcept { return kind() == Kind::Empty; }

    // Direct access for a known kind; nullptr when the Variant holds another kind.
    template <typename T>
    const T* get() const noexcept
    {
        return std::get_if<T>(&m_value);
    }

    // Equality as the property store uses it: same text, or numbers of equal value; an Empty
    // equals the empty text and zero.
    friend bool operator==(const Variant& a, const Variant& b);

private:
    std::variant<std::monostate, Bool16, std::int16_t, std::int32_t, double, std::u16string, ObjectRef> m_value;
};

}  // namespace runtime
