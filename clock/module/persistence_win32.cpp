#include "clock/module/persistence_win32.h"

#include "platform/runtime/conversions.h"
#include "platform/runtime/runtime_error.h"

#include <oleauto.h>

#include <string>

namespace tavorix {

namespace {

constexpr std::uint16_t kStreamFormat = 1;

std::wstring wide(std::u16string_view text)
{
    return {text.begin(), text.end()};
}

}  // namespace

runtime::Variant ContainerPropertyBag::readProperty(const std::u16string& name,
                                                    const runtime::Variant& defaultValue) const
{
    VARIANT stored;
    ::VariantInit(&stored);
    const std::wstring key = wide(name);
    if (FAILED(m_bag->Read(key.c_str(), &stored, m_log)))
        return defaultValue;  // not there
    runtime::Variant value;
    bool known = true;
    switch (stored.vt) {
    case VT_I2: value = std::int16_t{stored.iVal}; break;
    case VT_I4: value = std::int32_t{stored.lVal}; break;
    case VT_R8: value = stored.dblVal; break;
    case VT_BOOL: value = stored.boolVal ? runtime::True : runtime::False; break;
    case VT_BSTR:
        value = std::u16string(reinterpret_cast<const char16_t*>(stored.bstrVal), ::SysStringLen(stored.bstrVal));
        break;
    default: known = false;
    }
    ::VariantClear(&stored);
    if (!known)
        throw runtime::RuntimeError(runtime::error::kTypeMismatch);
    return value;
}

void ContainerPropertyBag::writeProperty(const std::u16string& name, const runtime::Variant& value,
                                         const runtime::Variant& defaultValue)
{
    if (value == defaultValue)
        return;  // a bag keeps what differs from the defaults
    VARIANT stored;
    ::VariantInit(&stored);
    stored.vt = VT_I4;
    stored.lVal = runtime::toLong(value);
    const std::wstring key = wide(name);
    const HRESULT result = m_bag->Write(key.c_str(), &stored);
    if (FAILED(result))
        throw runtime::RuntimeError(runtime::error::kDeviceIoError);
}

std::optional<std::int32_t> readStyleStream(IStream& stream)
{
    unsigned char bytes[kStyleStreamSize];
    ULONG read = 0;
    if (FAILED(stream.Read(bytes, kStyleStreamSize, &read)) || read != kStyleStreamSize
        || (bytes[0] | bytes[1] << 8) != kStreamFormat)
        return std::nullopt;
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(bytes[2]) | bytes[3] << 8 | bytes[4] << 16
                                     | static_cast<std::uint32_t>(bytes[5]) << 24);
}

bool writeStyleStream(IStream& stream, std::int32_t style)
{
    const auto value = static_cast<std::uint32_t>(style);
    const unsigned char bytes[kStyleStreamSize] = {kStreamFormat & 0xFF,
                                                   kStreamFormat >> 8,
                                                   static_cast<unsigned char>(value),
                                                   static_cast<unsigned char>(value >> 8),
                                                   static_cast<unsigned char>(value >> 16),
                                                   static_cast<unsigned char>(value >> 24)};
    ULONG written = 0;
    return SUCCEEDED(stream.Write(bytes, kStyleStreamSize, &written)) && written == kStyleStreamSize;
}

}  // namespace tavorix
