#pragma once

#include "platform/shell/shell.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>

// The smaller forms a release of the program is published in beside it (publish-update), and
// how the updater rebuilds the program from them. Whatever the form, the program rebuilt is
// checked as a whole download is: what is untrusted here is only which bytes come.
//
// Beside the program NAME on the server:
//   NAME.delta                 the index: one line "zst" when NAME.zst is there, one line
//                              "patch SHA256" for each NAME.from-SHA256.zst
//   NAME.zst                   the program compressed (zstd)
//   NAME.from-SHA256.zst       a patch (zstd --patch-from) from the program whose SHA-256 that is
namespace delta {

enum class Form {
    Whole,       // the program itself
    Compressed,  // NAME.zst
    Patch,       // NAME.from-SHA256.zst, of the installed program
};

struct Index {
    bool compressed = false;
    std::set<std::string> patchSources;  // SHA-256 in lower-case hex
};

// The index's lines (LF or CR LF; others are passed over, for forms to come); nullopt for a
// text that is no index.
std::optional<Index> parseIndex(std::string_view text);

// Where each form lies, beside the program at `programUrl`.
std::u16string indexUrl(const std::u16string& programUrl);
std::u16string compressedUrl(const std::u16string& programUrl);
std::u16string patchUrl(const std::u16string& programUrl, const std::string& sourceHash);

// The SHA-256 of a file's bytes, in lower-case hex; nullopt when they cannot be read.
std::optional<std::string> sha256Hex(shell::InputFile& file);

// The largest program rebuilt from an installed one of `installedSize` bytes: twice it, or 16
// MiB more; a release that grew beyond is downloaded whole.
std::uint64_t maxRebuiltSize(std::uint64_t installedSize);

// The program a zstd frame holds, decoded with `source` as its patch's source (none for the
// compressed form): one frame alone, its size written in it and at most `maxSize`, its
// checksum right. The decoder holds the frame, the source and the program, nothing more.
// nullopt for any other frame: cut, damaged, of another source, too large.
std::optional<std::string> decode(std::string_view frame, std::optional<std::string_view> source,
                                  std::uint64_t maxSize);

}  // namespace delta
