// tavorix-container: registers control modules, tells what a module holds, and places a
// control on a form.
//
//   tavorix-container --register MODULE
//   tavorix-container --unregister MODULE
//   tavorix-container --info MODULE
//   tavorix-container PROGID [--style N] [--size WxH]
#include "platform/com/inproc_server.h"
#include "platform/com/module_resources.h"
#include "tools/control-container/control_form.h"

#include <QApplication>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

namespace {

constexpr int kExitUsage = 64;

constexpr char kUsage[] =
    "usage: tavorix-container --register MODULE\n"
    "       tavorix-container --unregister MODULE\n"
    "       tavorix-container --info MODULE\n"
    "       tavorix-container PROGID [--style N] [--size WxH]\n";

int registration(const char* module, bool registering)
{
    std::string error;
    const auto server = com::InprocServer::load(module, error);
    if (!server) {
        std::fprintf(stderr, "tavorix-container: %s\n", error.c_str());
        return 1;
    }
    const com::HResult result = registering ? server->registerServer() : server->unregisterServer();
    if (!com::succeeded(result)) {
        std::fprintf(stderr, "tavorix-container: %s failed: %s\n",
                     registering ? "DllRegisterServer" : "DllUnregisterServer", com::describe(result).c_str());
        return 1;
    }
    std::printf("%s %s\n", registering ? "Registered" : "Unregistered", module);
    return 0;
}

std::uint32_t littleEndian(const std::vector<std::byte>& bytes, std::size_t offset, std::size_t width)
{
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < width && offset + i < bytes.size(); ++i)
        value |= static_cast<std::uint32_t>(bytes[offset + i]) << (8 * i);
    return value;
}

// What the registration promises of a module: its type library, version data and toolbox
// bitmap, read from its resources.
int info(const char* module)
{
    std::string error;
    const auto server = com::InprocServer::load(module, error);
    if (!server) {
        std::fprintf(stderr, "tavorix-container: %s\n", error.c_str());
        return 1;
    }
    const auto text = [](const std::vector<std::byte>& bytes) {
        return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    };
    const auto library = server->resource(com::kTypeLibResource, 1);
    const auto version = server->resource(com::kVersionResource, 1);
    const auto bitmap = server->resource(com::kBitmapResource, 30000);
    if (!library || !version || !bitmap || bitmap->size() < 30 || text(*bitmap).rfind("BM", 0) != 0) {
        std::fprintf(stderr, "tavorix-container: %s lacks the type library, version data or toolbox bitmap\n", module);
        return 1;
    }
    std::printf("Type library (TYPELIB 1):\n%s", text(*library).c_str());
    std::printf("Version data (VERSION 1):\n%s", text(*version).c_str());
    std::printf("Toolbox bitmap (BITMAP 30000): %u x %u, %u bits per pixel\n", littleEndian(*bitmap, 18, 4),
                littleEndian(*bitmap, 22, 4), littleEndian(*bitmap, 28, 2));
    return 0;
}

std::optional<std::int32_t> number(std::string_view text)
{
    std::int32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

struct PlaceOptions {
    std::string progId;
    std::optional<std::int32_t> style;
    std::optional<QSize> size;
};

std::optional<PlaceOptions> parse(int argc, char* argv[])
{
    if (argc < 2 || argv[1][0] == '-')
        return std::nullopt;
    PlaceOptions options{argv[1], {}, {}};
    for (int i = 2; i < argc; i += 2) {
        if (i + 1 >= argc)
            return std::nullopt;
        const std::string_view option = argv[i];
        const std::string_view value = argv[i + 1];
        if (option == "--style") {
            options.style = number(value);
            if (!options.style)
                return std::nullopt;
        } else if (option == "--size") {
            const auto x = value.find('x');
            const auto width = x == std::string_view::npos ? std::nullopt : number(value.substr(0, x));
            const auto height = x == std::string_view::npos ? std::nullopt : number(value.substr(x + 1));
            if (!width || !height || *width <= 0 || *height <= 0 || *width > ControlForm::kMaxPixels
                || *height > ControlForm::kMaxPixels)
                return std::nullopt;
            options.size = QSize(*width, *height);
        } else {
            return std::nullopt;
        }
    }
    return options;
}

}  // namespace

int main(int argc, char* argv[])
{
    if (argc == 3 && (std::strcmp(argv[1], "--register") == 0 || std::strcmp(argv[1], "--unregister") == 0))
        return registration(argv[2], std::strcmp(argv[1], "--register") == 0);
    if (argc == 3 && std::strcmp(argv[1], "--info") == 0)
        return info(argv[2]);

    const auto options = parse(argc, argv);
    if (!options) {
        std::fputs(kUsage, stderr);
        return kExitUsage;
    }
    // The class is looked up before any window is opened: that answer needs no display.
    const auto registered = com::findClass(options->progId);
    if (!registered) {
        std::fprintf(stderr, "tavorix-container: %s is not registered\n", options->progId.c_str());
        return 1;
    }

    // Qt would take "--style" for its own option: it sees the program name only.
    int qtArgc = 1;
    QApplication application(qtArgc, argv);
    ControlForm form;
    QString error;
    if (!form.place(options->progId, *registered, error)) {
        std::fprintf(stderr, "tavorix-container: %s\n", error.toLocal8Bit().constData());
        return 1;
    }
    if (options->size && !form.setControlSize(*options->size, error))
        std::fprintf(stderr, "tavorix-container: size: %s\n", error.toLocal8Bit().constData());
    if (options->style && !form.putProperty(u"Style", *options->style, error))
        std::fprintf(stderr, "tavorix-container: Style: %s\n", error.toLocal8Bit().constData());
    form.show();
    return application.exec();
}
