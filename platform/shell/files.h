#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

// The files the updater works with: reading them, staging new ones that replace others in one
// step, and the lock of a folder. Paths are texts of the behaviour's form ("\" separators are
// taken as this system's). Failures raise runtime::FileError, the run-time's file error naming
// the file and what kept it from use; only the error that means "no such file" ever means that
// a file is not there. On Windows a call refused for a file that another program holds is made
// again for a few seconds first.
namespace shell {

// A file open for reading. Whoever checks a file and then uses it does both through one open
// file, so that both see the same bytes.
class InputFile {
public:
    virtual ~InputFile() = default;
    virtual std::uint64_t size() const = 0;
    // Reads exactly `into.size()` bytes at `offset`; false when the file does not hold them or
    // cannot be read.
    virtual bool readAt(std::uint64_t offset, std::span<std::byte> into) = 0;
};

// A new file beside its target, written and flushed, that no other program knows of until
// commit() puts it in the target's place. Destroying an uncommitted stage removes its file.
class StagedFile {
public:
    virtual ~StagedFile() = default;
    // The staged bytes, read back through the stage's own open file.
    virtual InputFile& contents() = 0;
    // Renames the stage over its target in one step and flushes the folder, so that the
    // change outlives a power cut. Raises the file error: when the rename failed the target is
    // untouched; when only the folder's flush failed, the target is replaced all the same.
    virtual void commit() = 0;
    // True once the stage is in its target's place.
    virtual bool committed() const = 0;
};

// Held while an update runs in a folder; the system releases it when its holder dies.
class FolderLock {
public:
    virtual ~FolderLock() = default;
};

class Files {
public:
    virtual ~Files() = default;

    // Kill: deletes a file (a link itself, never what it leads to). Raises 53 "File not found"
    // when it is missing (or a folder), 75 or 70 when it cannot be deleted.
    virtual void deleteFile(const std::u16string& path) = 0;

    // Opens a file for reading; nullptr when there is no such file. Raises the file error for
    // anything else that keeps it from being read (a folder, no access).
    virtual std::unique_ptr<InputFile> openFile(const std::u16string& path) = 0;

    // Stages a copy of `source` for `target`, with the permissions of `permissionsOf` (those
    // of a program when nullptr). Raises the file error, leaving nothing behind, when the copy
    // cannot be made or `target` is a folder.
    virtual std::unique_ptr<StagedFile> stageCopy(InputFile& source, const std::u16string& target,
                                                  InputFile* permissionsOf) = 0;
    // Stages a file holding `contents` for `target`, with `target`'s permissions when it has
    // any. Raises as stageCopy does.
    virtual std::unique_ptr<StagedFile> stageText(std::string_view contents, const std::u16string& target) = 0;

    // Removes the stages of `target` that a process left when it died. Call it only while
    // holding the folder's lock: the stages of a running process would go too.
    virtual void removeStaleStages(const std::u16string& target) = 0;

    // The lock that keeps a second updater out of `folder`; nullptr when another process holds
    // it. Raises the file error when the folder cannot be locked at all.
    virtual std::unique_ptr<FolderLock> lockFolder(const std::u16string& folder) = 0;

    // True when this process may create files in `folder`: a probe file made there and removed
    // again, not a guess from the path. False only when the system refuses the right (no
    // access, a read-only medium); any other trouble is left to the steps that follow.
    virtual bool canWriteIn(const std::u16string& folder) = 0;

    // Puts a file holding `contents` in place of `path` in one step (a stage, committed).
    void writeFile(const std::u16string& path, std::string_view contents) { stageText(contents, path)->commit(); }

    // The whole file, which must hold at most `maxSize` bytes; nullopt when there is no such
    // file. Raises the file error when it cannot be read or is larger.
    std::optional<std::string> readFile(const std::u16string& path, std::size_t maxSize);
};

// Reads the whole of `source`, in order, handing each piece to `take`. Raises 57 "Device I/O
// error" when a piece cannot be read.
void readInPieces(InputFile& source, const std::function<void(std::span<const std::byte>)>& take);

// The files of the system this program was built for.
std::unique_ptr<Files> systemFiles();

// Puts a file holding `contents` in place of `target` in one step, as a committed stage does
// (for stores of the platform layer that name their files natively). Raises the file error.
void writeFileAtomically(const std::filesystem::path& target, std::string_view contents);

}  // namespace shell
