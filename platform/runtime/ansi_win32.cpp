#include "platform/runtime/text.h"

#include <windows.h>
#include <shellapi.h>

#include <climits>

namespace runtime {

std::string toAnsi(std::u16string_view text)
{
    if (text.empty() || text.size() > INT_MAX)
        return {};
    const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
    const int length = static_cast<int>(text.size());
    const int size = ::WideCharToMultiByte(CP_ACP, 0, wide, length, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, wide, length, out.data(), size, nullptr, nullptr);
    return out;
}

std::vector<std::string> programArguments(int, char*[])
{
    int count = 0;
    wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    for (int i = 0; wide && i < count; ++i)
        arguments.push_back(toUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(wide[i]))));
    ::LocalFree(wide);
    return arguments;
}

std::u16string fromAnsi(std::string_view bytes)
{
    if (bytes.empty() || bytes.size() > INT_MAX)
        return {};
    const int length = static_cast<int>(bytes.size());
    const int size = ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), length, nullptr, 0);
    std::u16string out(static_cast<std::size_t>(size), u'\0');
    ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), length, reinterpret_cast<wchar_t*>(out.data()), size);
    return out;
}

}  // namespace runtime
