#pragma once

#include "platform/controls/property_bag.h"

#include <windows.h>
#include <ocidl.h>

#include <cstdint>
#include <optional>

// How the control keeps its state in a container: in a property bag, or in a stream.
namespace tavorix {

// A container's property bag as the control's load and save see it: Style's Integer and the
// like by their names; a value the bag holds in a type of no property is a type mismatch. What
// equals its default is not written. Neither pointer is owned.
class ContainerPropertyBag : public controls::PropertyStore {
public:
    ContainerPropertyBag(IPropertyBag* bag, IErrorLog* log) : m_bag(bag), m_log(log) {}

    runtime::Variant readProperty(const std::u16string& name, const runtime::Variant& defaultValue) const override;
    void writeProperty(const std::u16string& name, const runtime::Variant& value,
                       const runtime::Variant& defaultValue) override;

private:
    IPropertyBag* m_bag;
    IErrorLog* m_log;
};

// The control's state in a stream: a 16-bit format number (1), then the Style in force as a
// 32-bit integer, both little-endian; kStyleStreamSize bytes.
inline constexpr ULONG kStyleStreamSize = 6;
// The Style a stream holds; nullopt when it holds no state of this format.
std::optional<std::int32_t> readStyleStream(IStream& stream);
// Writes `style` in the stream's format; false when the stream takes less than all of it.
bool writeStyleStream(IStream& stream, std::int32_t style);

}  // namespace tavorix
