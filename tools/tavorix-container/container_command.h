#pragma once

#include <cstdint>
#include <optional>
#include <string>

// The command line of tavorix-container, the same on both systems:
//   tavorix-container --register MODULE
//   tavorix-container --unregister MODULE
//   tavorix-container --info MODULE
//   tavorix-container PROGID [--style N] [--size WxH]
inline constexpr char kContainerUsage[] =
    "usage: tavorix-container --register MODULE\n"
    "       tavorix-container --unregister MODULE\n"
    "       tavorix-container --info MODULE\n"
    "       tavorix-container PROGID [--style N] [--size WxH]\n";
inline constexpr int kExitUsage = 64;

// The largest side of a control, in pixels: the largest window either system makes.
inline constexpr int kLargestControlSide = (1 << 24) - 1;

struct ContainerCommand {
    enum class Kind { Register, Unregister, Info, Place };
    Kind kind = Kind::Place;
    std::string target;  // the module, or the program id to place
    std::optional<std::int32_t> style;
    std::optional<std::pair<int, int>> size;  // pixels, each side 1 to kLargestControlSide
};

// nullopt for a command line of none of the forms above.
std::optional<ContainerCommand> parseContainerCommand(int argc, const char* const argv[]);
