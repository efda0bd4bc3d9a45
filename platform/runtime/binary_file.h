#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace runtime {

// A path as this operating system takes it: on Windows in the extended form beyond MAX_PATH.
// Every character stays what it is: on POSIX a backslash is a letter of a name.
std::filesystem::path nativePath(std::u16string_view path);

// A file of `folder` named with its leading "\" (as the updater names its files), joined with
// the separator of this system: only the separator the code writes is the system's.
inline std::u16string inFolder(std::u16string_view folder, std::u16string_view name)
{
    if (name.starts_with(u'\\'))
        name.remove_prefix(1);
    return (std::filesystem::path(folder) / std::filesystem::path(name)).u16string();
}

// FileLen: the length of a file in bytes. Raises 53 "File not found" when it does not exist,
// 52 for an empty name, 6 "Overflow" beyond the 32-bit range.
std::int32_t fileLength(std::u16string_view path);

// A file opened for writing raw bytes ("Open ... For Binary Access Write"): created when
// missing, its contents kept. Writes are buffered (up to 64 KiB, so a write error may show
// that much later than the write that caused it); every failure raises the run-time's file
// error as a FileError naming the file (61 "Disk full", 70 "Permission denied", 75 "Path/File
// access error", 76 "Path not found", ...). Owns its descriptor; the destructor closes quietly.
class BinaryFile {
public:
    explicit BinaryFile(std::u16string_view path);
    ~BinaryFile();
    BinaryFile(const BinaryFile&) = delete;
    BinaryFile& operator=(const BinaryFile&) = delete;

    // Moves the write position (0-based byte offset).
    void seek(std::int64_t offset);
    void write(std::span<const std::byte> bytes);
    // Cuts the file at the current write position.
    void truncateHere();
    // Hands what is buffered to the file; raises the file error when that fails.
    void flush();
    // Writes what is buffered and closes; raises when that fails.
    void close();

    // Bytes held before they go to the file: what a writer counts may run ahead of the disk by
    // at most this much. 64 KiB keeps a 2048-byte writer at one system call per 32 writes.
    static constexpr std::size_t kWriteBufferSize = 64 * 1024;

private:
    // One write of the system's at the write position: how much of `bytes` it took, at least
    // one byte; raises the file error when it fails. The system's half of flush().
    std::size_t writeOnce(std::span<const std::byte> bytes);
    [[noreturn]] void raiseWriteError(unsigned long code) const;

    std::u16string m_path;
    std::intptr_t m_file = -1;  // the system's handle of the open file; -1 once closed
    std::int64_t m_position = 0;
    std::vector<std::byte> m_buffer;
};

}  // namespace runtime
