#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace com {

// A COM identifier (class, interface, library), laid out as the system lays out its GUID.
struct Guid {
    std::uint32_t data1 = 0;
    std::uint16_t data2 = 0;
    std::uint16_t data3 = 0;
    std::array<std::uint8_t, 8> data4{};

    friend bool operator==(const Guid&, const Guid&) = default;
    // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" in capitals.
    std::string toString() const;
    // Reads the form toString writes (braces optional, either case).
    static std::optional<Guid> parse(std::string_view text);

    // The identifier as the system's own GUID structure (Windows) holds it.
    template <typename SystemGuid>
    SystemGuid as() const
    {
        SystemGuid guid{};
        guid.Data1 = data1;
        guid.Data2 = data2;
        guid.Data3 = data3;
        for (std::size_t i = 0; i < data4.size(); ++i)
            guid.Data4[i] = data4[i];
        return guid;
    }
};

}  // namespace com
