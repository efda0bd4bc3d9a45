#include "platform/runtime/text.h"

namespace runtime {

// This system's code page for the ANSI calls is UTF-8.
std::string toAnsi(std::u16string_view text)
{
    return toUtf8(text);
}

std::u16string fromAnsi(std::string_view bytes)
{
    return fromUtf8(bytes);
}

std::vector<std::string> programArguments(int argc, char* argv[])
{
    return std::vector<std::string>(argv, argv + argc);
}

}  // namespace runtime
