#include "platform/shell/elf_image.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

// A minimal ELF program: header, program headers, one loadable segment covering the image so
// far, then (when `sections`) a section-header table of two entries at the end.
struct ImageSpec {
    bool wide = true;
    bool bigEndian = false;
    std::uint16_t type = 2;
    std::uint16_t phnum = 1;
    bool sections = true;
    std::function<void(std::vector<std::byte>&, const ImageSpec&)> tamper;
};

void put(std::vector<std::byte>& image, std::size_t offset, std::uint64_t value, unsigned width, bool bigEndian)
{
    if (image.size() < offset + width)
        image.resize(offset + width);
    for (unsigned i = 0; i < width; ++i)
        image[offset + (bigEndian ? width - 1 - i : i)] = static_cast<std::byte>(value >> (8 * i));
}

std::vector<std::byte> build(const ImageSpec& spec)
{
    const bool w = spec.wide;
    const unsigned word = w ? 8 : 4;
    const std::size_t header = w ? 64 : 52;
    const std::size_t phentsize = w ? 56 : 32;
    const std::size_t shentsize = w ? 64 : 40;
    const std::size_t phnum = spec.phnum == 0xFFFF ? 1 : spec.phnum;
    const std::size_t body = header + phnum * phentsize + 100;
    std::vector<std::byte> image(body);
    std::memcpy(image.data(),
                "\x7F"
                "ELF",
                4);
    image[4] = std::byte{static_cast<unsigned char>(w ? 2 : 1)};
    image[5] = std::byte{static_cast<unsigned char>(spec.bigEndian ? 2 : 1)};
    image[6] = std::byte{1};
    const auto at = [&](std::size_t offset, std::uint64_t value, unsigned width) {
        put(image, offset, value, width, spec.bigEndian);
    };
    at(16, spec.type, 2);
    at(w ? 32 : 28, header, word);                    // e_phoff
    at(w ? 40 : 32, spec.sections ? body : 0, word);  // e_shoff
    at(w ? 54 : 42, phentsize, 2);
    at(w ? 56 : 44, spec.phnum, 2);
    at(w ? 58 : 46, shentsize, 2);
    at(w ? 60 : 48, spec.sections ? 2 : 0, 2);
    for (std::size_t i = 0; i < phnum; ++i) {
        const std::size_t ph = header + i * phentsize;
        at(ph, 1, 4);                        // PT_LOAD
        at(ph + (w ? 8 : 4), 0, word);       // p_offset
        at(ph + (w ? 32 : 16), body, word);  // p_filesz
    }
    if (spec.sections) {
        image.resize(body + 2 * shentsize);
        if (spec.phnum == 0xFFFF)
            at(body + (w ? 44 : 28), 1, 4);  // section 0's sh_info: the real count
    }
    if (spec.tamper)
        spec.tamper(image, spec);
    return image;
}

bool whole(const std::vector<std::byte>& image)
{
    return shell::isWholeElfProgram(image.size(), [&](std::uint64_t offset, std::span<std::byte> into) {
        if (offset > image.size() || into.size() > image.size() - offset)
            return false;
        std::memcpy(into.data(), image.data() + offset, into.size());
        return true;
    });
}

std::function<void(std::vector<std::byte>&, const ImageSpec&)>
setField(std::size_t wideOffset, std::size_t narrowOffset, std::uint64_t value, unsigned width)
{
    return [=](std::vector<std::byte>& image, const ImageSpec& spec) {
        put(image, spec.wide ? wideOffset : narrowOffset, value, width == 0 ? (spec.wide ? 8 : 4) : width,
            spec.bigEndian);
    };
}

struct ElfCase {
    std::string name;
    ImageSpec spec;
    bool whole;
};

void PrintTo(const ElfCase& c, std::ostream* out)
{
    *out << c.name;
}

class ElfImage : public testing::TestWithParam<ElfCase> {};

TEST_P(ElfImage, IsWholeOnlyWhenEverythingItNamesIsInTheFile)
{
    for (const bool wide : {true, false}) {
        for (const bool bigEndian : {false, true}) {
            ImageSpec spec = GetParam().spec;
            spec.wide = wide;
            spec.bigEndian = bigEndian;
            EXPECT_EQ(whole(build(spec)), GetParam().whole) << (wide ? "64" : "32") << (bigEndian ? " BE" : " LE");
        }
    }
}

const auto cutOneByte = [](std::vector<std::byte>& image, const ImageSpec&) { image.pop_back(); };
const auto cutToHeader = [](std::vector<std::byte>& image, const ImageSpec& spec) {
    image.resize(spec.wide ? 64 : 52);
};
// e_shnum 0 sends the reader to section 0's sh_size for the count, which names 1000 entries.
const auto manySections = [](std::vector<std::byte>& image, const ImageSpec& spec) {
    const std::size_t table = image.size() - 2 * (spec.wide ? 64 : 40);
    put(image, spec.wide ? 60 : 48, 0, 2, spec.bigEndian);
    put(image, table + (spec.wide ? 32 : 20), 1000, spec.wide ? 8 : 4, spec.bigEndian);
};

// clang-format off
INSTANTIATE_TEST_SUITE_P(Table, ElfImage, testing::Values(
    ElfCase{"whole", {}, true},
    ElfCase{"without section table", {.sections = false, .tamper = {}}, true},
    ElfCase{"shared object", {.type = 3, .tamper = {}}, true},
    ElfCase{"many program headers counted in section 0", {.phnum = 0xFFFF, .tamper = {}}, true},
    ElfCase{"section table cut by a byte", {.tamper = cutOneByte}, false},
    ElfCase{"only the header", {.sections = false, .tamper = cutToHeader}, false},
    ElfCase{"segment beyond the end", {.tamper = setField(64 + 32, 52 + 16, 1 << 20, 0)}, false},
    ElfCase{"segment offset overflowing", {.tamper = setField(64 + 8, 52 + 4, ~0ull, 0)}, false},
    ElfCase{"program headers beyond the end", {.tamper = setField(32, 28, 1 << 20, 0)}, false},
    ElfCase{"section count in section 0 too large", {.tamper = manySections}, false},
    ElfCase{"no program headers", {.phnum = 0, .tamper = {}}, false},
    ElfCase{"relocatable object", {.type = 1, .tamper = {}}, false},
    ElfCase{"not ELF", {.tamper = setField(1, 1, 'X', 1)}, false}));
// clang-format on

}  // namespace
