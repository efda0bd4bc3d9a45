// Draws the clock's strip pictures and toolbox bitmap into a folder:
//   make-clock-strips FOLDER
#include "clock/strip_pictures.h"

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

bool write(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fputs("usage: make-clock-strips FOLDER\n", stderr);
        return 64;
    }
    const std::string folder = argv[1];
    bool ok = true;
    for (int style = 0; style < strips::kStyles; ++style) {
        ok &= write(folder + "/" + strips::digitStripName(style), strips::drawDigitStrip(style));
        ok &= write(folder + "/" + strips::punctuationStripName(style), strips::drawPunctuationStrip(style));
    }
    ok &= write(folder + "/toolbox30000.bmp", strips::drawToolboxBitmap());
    if (!ok) {
        std::fprintf(stderr, "make-clock-strips: cannot write into %s\n", folder.c_str());
        return 1;
    }
    return 0;
}
