#include "tools/tavorix-container/container_command.h"

#include <charconv>
#include <cstring>
#include <string_view>

namespace {

std::optional<std::int32_t> number(std::string_view text)
{
    std::int32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::optional<std::pair<int, int>> size(std::string_view text)
{
    const auto x = text.find('x');
    if (x == std::string_view::npos)
        return std::nullopt;
    const auto width = number(text.substr(0, x));
    const auto height = number(text.substr(x + 1));
    if (!width || !height || *width <= 0 || *height <= 0 || *width > kLargestControlSide
        || *height > kLargestControlSide)
        return std::nullopt;
    return std::pair{*width, *height};
}

}  // namespace

std::optional<ContainerCommand> parseContainerCommand(int argc, const char* const argv[])
{
    if (argc < 2)
        return std::nullopt;
    const std::string_view first = argv[1];
    if (argc == 3 && (first == "--register" || first == "--unregister" || first == "--info")) {
        const auto kind = first == "--register"     ? ContainerCommand::Kind::Register
                          : first == "--unregister" ? ContainerCommand::Kind::Unregister
                                                    : ContainerCommand::Kind::Info;
        return ContainerCommand{kind, argv[2], {}, {}};
    }
    if (first.empty() || first[0] == '-')
        return std::nullopt;
    ContainerCommand command{ContainerCommand::Kind::Place, argv[1], {}, {}};
    for (int i = 2; i < argc; i += 2) {
        if (i + 1 >= argc)
            return std::nullopt;
        const std::string_view option = argv[i];
        const std::string_view value = argv[i + 1];
        if (option == "--style" && (command.style = number(value)))
            continue;
        if (option == "--size" && (command.size = size(value)))
            continue;
        return std::nullopt;
    }
    return command;
}
