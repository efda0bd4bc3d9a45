// Writes the clock module's type library at build time: tavorix-type-library FILE.tlb
#include "clock/module/tavorix_library.h"
#include "platform/com/type_library_win32.h"

#include <cstdio>

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fputs("usage: tavorix-type-library FILE.tlb\n", stderr);
        return 64;
    }
    std::string error;
    if (!com::writeTypeLibrary(tavorix::typeLibrary(), argv[1], error)) {
        std::fprintf(stderr, "tavorix-type-library: %s: %s\n", argv[1], error.c_str());
        return 1;
    }
    return 0;
}
