#include "platform/com/module_resources.h"

#include "platform/com/inproc_server.h"

#include <charconv>

namespace com {

namespace {

std::optional<std::uint32_t> number(std::string_view text)
{
    std::uint32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

}  // namespace

std::optional<ResourceLocation> typeLibraryLocation(std::string_view value)
{
    const auto slash = value.rfind('\\');
    const auto id = slash == std::string_view::npos ? std::nullopt : number(value.substr(slash + 1));
    if (!id || slash == 0)
        return std::nullopt;
    return ResourceLocation{std::string(value.substr(0, slash)), kTypeLibResource, *id};
}

std::optional<ResourceLocation> bitmapLocation(std::string_view value)
{
    const auto comma = value.rfind(", ");
    const auto id = comma == std::string_view::npos ? std::nullopt : number(value.substr(comma + 2));
    if (!id || comma == 0)
        return std::nullopt;
    return ResourceLocation{std::string(value.substr(0, comma)), kBitmapResource, *id};
}

std::optional<std::vector<std::byte>> readResource(const ResourceLocation& location, std::string& error)
{
    const auto server = InprocServer::load(location.module, error);
    if (!server)
        return std::nullopt;
    auto bytes = server->resource(location.type, location.id);
    if (!bytes)
        error = location.module.string() + " has no resource " + location.type + " " + std::to_string(location.id);
    return bytes;
}

}  // namespace com
