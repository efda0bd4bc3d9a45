// tavorix-container on Windows: registers control modules in the system's registry, tells what
// a module holds, and places a control on a form hosted by the system's ATL host window
// (commands in container_command.h).
#include "platform/com/com_ptr.h"
#include "platform/com/type_library_win32.h"
#include "platform/runtime/text.h"
#include "platform/shell/shell.h"
#include "tools/tavorix-container/container_command.h"
#include "tools/tavorix-container/container_form_win32.h"

#include <windows.h>
#include <ocidl.h>
#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::wstring wide(const std::string& utf8)
{
    const std::u16string text = runtime::fromUtf8(utf8);
    return {text.begin(), text.end()};
}

int registration(const std::string& module, bool registering)
{
    const HMODULE loaded = ::LoadLibraryW(wide(module).c_str());
    const char* exportName = registering ? "DllRegisterServer" : "DllUnregisterServer";
    const auto entry = loaded ? reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
                           reinterpret_cast<void*>(::GetProcAddress(loaded, exportName)))
                              : nullptr;
    if (!entry) {
        std::fprintf(stderr, "tavorix-container: %s is no in-process server\n", module.c_str());
        return 1;
    }
    const HRESULT result = entry();
    ::FreeLibrary(loaded);
    if (FAILED(result)) {
        std::fprintf(stderr, "tavorix-container: %s failed: 0x%08lX\n", exportName, static_cast<unsigned long>(result));
        return 1;
    }
    std::printf("%s %s\n", registering ? "Registered" : "Unregistered", module.c_str());
    return 0;
}

// The version data as the Linux module words its VERSION resource.
std::string versionText(const std::wstring& module)
{
    DWORD ignored = 0;
    std::vector<unsigned char> data(::GetFileVersionInfoSizeW(module.c_str(), &ignored));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT size = 0;
    if (data.empty() || !::GetFileVersionInfoW(module.c_str(), 0, static_cast<DWORD>(data.size()), data.data())
        || !::VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &size))
        return {};
    WORD* translation = nullptr;
    if (!::VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &size)
        || size < 2 * sizeof(WORD))
        return {};
    wchar_t block[64];
    std::swprintf(block, 64, L"\\StringFileInfo\\%04X%04X\\", translation[0], translation[1]);
    const auto text = [&](const wchar_t* name) -> std::string {
        wchar_t* value = nullptr;
        UINT length = 0;
        if (!::VerQueryValueW(data.data(), (std::wstring(block) + name).c_str(), reinterpret_cast<void**>(&value),
                              &length))
            return "?";
        return runtime::toUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(value), length ? length - 1 : 0));
    };
    const auto number = [](DWORD high, DWORD low) {
        return std::to_string(HIWORD(high)) + "." + std::to_string(LOWORD(high)) + "." + std::to_string(HIWORD(low))
               + "." + std::to_string(LOWORD(low));
    };
    wchar_t* marker = nullptr;
    const bool selfRegister = ::VerQueryValueW(data.data(), (std::wstring(block) + L"OLESelfRegister").c_str(),
                                               reinterpret_cast<void**>(&marker), &size);
    return "FileVersion " + number(fixed->dwFileVersionMS, fixed->dwFileVersionLS) + " \"" + text(L"FileVersion")
           + "\"\nProductVersion " + number(fixed->dwProductVersionMS, fixed->dwProductVersionLS) + " \""
           + text(L"ProductVersion") + "\"\n" + (selfRegister ? "OLESelfRegister\n" : "");
}

// The exact names the module's controls give the values of their enumerated properties
// (IPerPropertyBrowsing), which a type library file carries only in ASCII: "Style: Yeşil = 0,
// ..." a line each. Each class is made from the module itself, which needs no registration.
std::string displayNames(const std::wstring& module, const com::TypeLibrary& library)
{
    using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    const HMODULE loaded = ::LoadLibraryW(module.c_str());
    const auto entry =
        loaded
            ? reinterpret_cast<GetClassObject>(reinterpret_cast<void*>(::GetProcAddress(loaded, "DllGetClassObject")))
            : nullptr;
    std::string text;
    for (const auto& type : library.types) {
        com::Ptr<IClassFactory> factory;
        com::Ptr<IPerPropertyBrowsing> browsing;
        const com::TypeDescription* dispatch = library.find(type.defaultInterface);
        if (type.kind != com::TypeDescription::Kind::CoClass || !entry || !dispatch
            || FAILED(entry(type.guid.as<GUID>(), IID_IClassFactory, factory.outVoid()))
            || FAILED(factory->CreateInstance(nullptr, IID_IPerPropertyBrowsing, browsing.outVoid())))
            continue;
        for (const auto& property : dispatch->properties) {
            CALPOLESTR names{};
            CADWORD values{};
            if (FAILED(browsing->GetPredefinedStrings(static_cast<DISPID>(property.id), &names, &values)))
                continue;
            text += "  " + runtime::toUtf8(property.name) + ":";
            for (ULONG i = 0; i < names.cElems; ++i) {
                text += (i ? ", " : " ")
                        + runtime::toUtf8(names.pElems[i] ? reinterpret_cast<const char16_t*>(names.pElems[i]) : u"")
                        + " = " + std::to_string(static_cast<long>(values.pElems[i]));
                ::CoTaskMemFree(names.pElems[i]);
            }
            ::CoTaskMemFree(names.pElems);
            ::CoTaskMemFree(values.pElems);
            text += "\n";
        }
    }
    if (loaded)
        ::FreeLibrary(loaded);
    return text;
}

// What the registration promises of a module: its type library, version data and toolbox
// bitmap, read from its resources.
int info(const std::string& module)
{
    const std::wstring path = wide(module);
    std::string error;
    const auto library = com::readTypeLibrary(path, error);
    const std::string version = versionText(path);
    const HMODULE resources =
        ::LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    const HRSRC found = resources ? ::FindResourceW(resources, MAKEINTRESOURCEW(30000), MAKEINTRESOURCEW(2)) : nullptr;
    const auto* bitmap = found && ::SizeofResource(resources, found) >= sizeof(BITMAPINFOHEADER)
                             ? static_cast<const BITMAPINFOHEADER*>(::LockResource(::LoadResource(resources, found)))
                             : nullptr;
    if (!library || version.empty() || !bitmap) {
        std::fprintf(stderr, "tavorix-container: %s lacks the type library, version data or toolbox bitmap\n",
                     module.c_str());
        return 1;
    }
    std::printf("Type library (TYPELIB 1):\n%s", com::describe(*library).c_str());
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (const std::string names = displayNames(path, *library); !names.empty())
        std::printf("Display names (IPerPropertyBrowsing):\n%s", names.c_str());
    std::printf("Version data (VERSION 1):\n%s", version.c_str());
    std::printf("Toolbox bitmap (BITMAP 30000): %ld x %ld, %u bits per pixel\n", bitmap->biWidth, bitmap->biHeight,
                bitmap->biBitCount);
    ::FreeLibrary(resources);
    return 0;
}

int place(const ContainerCommand& command)
{
    const std::wstring progId = wide(command.target);
    CLSID clsid;
    // The class is looked up before any window is opened.
    if (FAILED(::CLSIDFromProgID(progId.c_str(), &clsid))) {
        std::fprintf(stderr, "tavorix-container: %s is not registered\n", command.target.c_str());
        return 1;
    }
    ContainerForm form;
    std::string error;
    if (!form.place(progId, error)) {
        std::fprintf(stderr, "tavorix-container: %s\n", error.c_str());
        return 1;
    }
    if (command.size && !form.setControlSize(command.size->first, command.size->second, error))
        std::fprintf(stderr, "tavorix-container: size: %s\n", error.c_str());
    if (command.style && !form.putProperty(L"Style", *command.style, error))
        std::fprintf(stderr, "tavorix-container: Style: %s\n", error.c_str());
    std::fflush(stderr);
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    return 0;
}

}  // namespace

int main()
{
    shell::loadLibrariesFromSystemOnly();
    ::SetConsoleOutputCP(CP_UTF8);  // the texts printed are UTF-8, as on Linux
    // The arguments as the system holds them: module paths may leave the ANSI code page.
    const std::vector<std::string> arguments = runtime::programArguments(0, nullptr);
    const int argc = static_cast<int>(arguments.size());
    std::vector<const char*> argv;
    for (const auto& argument : arguments)
        argv.push_back(argument.c_str());

    const auto command = parseContainerCommand(argc, argv.data());
    if (!command) {
        std::fputs(kContainerUsage, stderr);
        return kExitUsage;
    }
    switch (command->kind) {
    case ContainerCommand::Kind::Register:
    case ContainerCommand::Kind::Unregister:
        return registration(command->target, command->kind == ContainerCommand::Kind::Register);
    case ContainerCommand::Kind::Info: return info(command->target);
    case ContainerCommand::Kind::Place: break;
    }
    if (FAILED(::OleInitialize(nullptr))) {
        std::fputs("tavorix-container: OLE cannot be started\n", stderr);
        return 1;
    }
    const int status = place(*command);
    ::OleUninitialize();
    return status;
}
