// tavorix-container: registers control modules and places a control on a form.
//
//   tavorix-container --register MODULE
//   tavorix-container --unregister MODULE
//   tavorix-container PROGID [--style N]
#include "platform/com/inproc_server.h"
#include "tools/control-container/control_form.h"

#include <QApplication>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr int kExitUsage = 64;

constexpr char kUsage[] =
    "usage: tavorix-container --register MODULE\n"
    "       tavorix-container --unregister MODULE\n"
    "       tavorix-container PROGID [--style N]\n";

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

}  // namespace

int main(int argc, char* argv[])
{
    if (argc == 3 && (std::strcmp(argv[1], "--register") == 0 || std::strcmp(argv[1], "--unregister") == 0))
        return registration(argv[2], std::strcmp(argv[1], "--register") == 0);

    std::optional<std::int32_t> style;
    if (argc == 4 && std::strcmp(argv[2], "--style") == 0) {
        std::int32_t value = 0;
        const char* end = argv[3] + std::strlen(argv[3]);
        const auto [ptr, ec] = std::from_chars(argv[3], end, value);
        if (ec != std::errc() || ptr != end) {
            std::fputs(kUsage, stderr);
            return kExitUsage;
        }
        style = value;
    } else if (argc != 2 || argv[1][0] == '-') {
        std::fputs(kUsage, stderr);
        return kExitUsage;
    }

    // Qt would take "--style" for its own option: it sees the program name only.
    int qtArgc = 1;
    QApplication application(qtArgc, argv);
    ControlForm form;
    QString error;
    if (!form.place(argv[1], error)) {
        std::fprintf(stderr, "tavorix-container: %s\n", error.toLocal8Bit().constData());
        return 1;
    }
    if (style && !form.putProperty(u"Style", *style, error))
        std::fprintf(stderr, "tavorix-container: Style: %s\n", error.toLocal8Bit().constData());
    form.show();
    return application.exec();
}
