#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

// Files, programs and the user's desktop, as the updater uses them. Paths are texts of the
// behaviour's form ("\" separators are taken as this system's). File failures raise
// runtime::FileError, the run-time's file error naming the file and what kept it from use; only
// the error that means "no such file" ever means that a file is not there. On Windows a call
// refused for a file that another program holds is made again for a few seconds first.
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

// The folder of this running program's own file, held while the object lives: on Windows it
// cannot be renamed, moved or removed meanwhile (nor can a folder above it), so that every path
// built from it names the same folder at every step of a run.
class ProgramFolder {
public:
    virtual ~ProgramFolder() = default;
    // Its final path, without a trailing separator: every link and junction on the way resolved.
    virtual const std::u16string& path() const = 0;
    // False when the program was started through a link or junction, or its folder could not be
    // resolved at all: the path it was started by may lead elsewhere by the next look.
    virtual bool startedByFinalPath() const = 0;
};

// Resolves and holds the folder of this program's own file (see ProgramFolder). Never fails:
// what cannot be resolved is the folder as the system names the program, not started by its
// final path.
std::unique_ptr<ProgramFolder> holdProgramFolder();

class Shell {
public:
    virtual ~Shell() = default;

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

    // Whether the system gives a program an administrator's rights when the user consents
    // (Windows); a POSIX desktop never asks.
    virtual bool offersElevation() const = 0;

    // Runs this program again, by the final path of its own file, with its own arguments and
    // `flag` after them, with the rights of an administrator, which the system asks the user
    // for; waits for it to end, running `wait` whenever the window has events. Its exit status;
    // nullopt when the user declined or the system has no such rights to give.
    virtual std::optional<int> runElevated(std::u16string_view flag, const std::function<void()>& wait) = 0;

    // Starts a program with a normal, focused window and does not wait for it. Raises
    // 53 "File not found" when it cannot be started.
    virtual void startProgram(const std::u16string& path) = 0;

    // Opens a document or web address with the user's default handler. Nothing is reported.
    virtual void openDocument(const std::u16string& address) = 0;

    virtual void sleep(std::chrono::milliseconds duration) = 0;

    // True when the file is a whole executable program of this system, every part of it within
    // the file (on Linux an ELF image or a "#!" script, on Windows a PE image).
    virtual bool isWholeProgram(InputFile& file) = 0;

    // True when a running process executes the program file at `path` (that very file, not one
    // of the same name elsewhere), and also when that cannot be told: the check fails closed.
    // False when there is no such file.
    virtual bool isProgramRunning(const std::u16string& path) = 0;

    // Puts a file holding `contents` in place of `path` in one step (a stage, committed).
    void writeFile(const std::u16string& path, std::string_view contents) { stageText(contents, path)->commit(); }

    // The whole file, which must hold at most `maxSize` bytes; nullopt when there is no such
    // file. Raises the file error when it cannot be read or is larger.
    std::optional<std::string> readFile(const std::u16string& path, std::size_t maxSize);
};

// The shell of the system this program was built for.
std::unique_ptr<Shell> systemShell();

// Makes this process load every library it loads from now on from the system's own folder
// alone, never from the program's folder or the current one, where anyone may have put a file
// of the library's name beside a program an administrator runs (Windows; nothing on POSIX,
// where a program's folder is never searched). The first call of every program that ships,
// before anything loads a library: the system's libraries that are no KnownDLLs are linked
// delay-loaded for this.
void loadLibrariesFromSystemOnly();

// Puts a file holding `contents` in place of `target` in one step, as a committed stage does
// (for stores of the platform layer that name their files natively). Raises the file error.
void writeFileAtomically(const std::filesystem::path& target, std::string_view contents);

}  // namespace shell
