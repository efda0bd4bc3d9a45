// tavorix-container on Linux: registers control modules in the store, tells what a module
// holds, and places a control on a Qt form (commands in container_command.h).
#include "platform/com/inproc_server.h"
#include "platform/com/module_resources.h"
#include "tools/tavorix-container/container_command.h"
#include "tools/tavorix-container/container_form_qt.h"

#include <QApplication>
#include <cstdio>
#include <optional>
#include <string>

namespace {

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

}  // namespace

int main(int argc, char* argv[])
{
    const auto command = parseContainerCommand(argc, argv);
    if (!command) {
        std::fputs(kContainerUsage, stderr);
        return kExitUsage;
    }
    switch (command->kind) {
    case ContainerCommand::Kind::Register:
    case ContainerCommand::Kind::Unregister:
        return registration(command->target.c_str(), command->kind == ContainerCommand::Kind::Register);
    case ContainerCommand::Kind::Info: return info(command->target.c_str());
    case ContainerCommand::Kind::Place: break;
    }
    // The class is looked up before any window is opened: that answer needs no display.
    const auto registered = com::findClass(command->target);
    if (!registered) {
        std::fprintf(stderr, "tavorix-container: %s is not registered\n", command->target.c_str());
        return 1;
    }

    // Qt would take "--style" for its own option: it sees the program name only.
    int qtArgc = 1;
    QApplication application(qtArgc, argv);
    ContainerForm form;
    QString error;
    if (!form.place(command->target, *registered, error)) {
        std::fprintf(stderr, "tavorix-container: %s\n", error.toLocal8Bit().constData());
        return 1;
    }
    if (command->size && !form.setControlSize(QSize(command->size->first, command->size->second), error))
        std::fprintf(stderr, "tavorix-container: size: %s\n", error.toLocal8Bit().constData());
    if (command->style && !form.putProperty(u"Style", *command->style, error))
        std::fprintf(stderr, "tavorix-container: Style: %s\n", error.toLocal8Bit().constData());
    form.show();
    return application.exec();
}
