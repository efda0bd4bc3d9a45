// delta-rebuild: rebuilds a program from the installed one and a release's patch (or from the
// program compressed, without OLD) as the updater does, for scripts/benchmark-delta: writes
// the program to OUT and prints the milliseconds the decoding took.
//   usage: delta-rebuild PATCH OUT [OLD]
#include "updater/delta.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

namespace {

std::optional<std::string> contents(const char* path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

int main(int argc, char* argv[])
{
    if (argc != 3 && argc != 4) {
        std::fputs("usage: delta-rebuild PATCH OUT [OLD]\n", stderr);
        return 64;
    }
    const auto frame = contents(argv[1]);
    const auto old = argc == 4 ? contents(argv[3]) : std::nullopt;
    if (!frame || (argc == 4 && !old)) {
        std::fputs("delta-rebuild: cannot read the files\n", stderr);
        return 1;
    }
    const auto start = std::chrono::steady_clock::now();
    const auto program = delta::decode(*frame, old, delta::maxRebuiltSize(old ? old->size() : frame->size() * 8));
    const auto elapsed = std::chrono::steady_clock::now() - start;
    if (!program) {
        std::fputs("delta-rebuild: the frame gives no program\n", stderr);
        return 1;
    }
    std::ofstream(argv[2], std::ios::binary) << *program;
    std::printf("%.1f\n", std::chrono::duration<double, std::milli>(elapsed).count());
    return 0;
}
