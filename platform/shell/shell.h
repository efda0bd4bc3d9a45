#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

// Files, programs and the user's desktop, as the updater uses them. Paths are texts of the
// behaviour's form ("\" separators are taken as this system's). The calls that the behaviour
// examines raise runtime::RuntimeError with the run-time's file errors.
namespace shell {

class Shell {
public:
    virtual ~Shell() = default;

    // Kill: deletes a file. Raises 53 "File not found" when it is missing, 75 or 70 when it
    // cannot be deleted.
    virtual void deleteFile(const std::u16string& path) = 0;

    // Puts a copy of `source` in place of `target` in one step: the copy is written beside
    // `target` under a temporary name, flushed, given `target`'s permissions (an executable's,
    // when `target` is new) and renamed over it, and the folder is flushed so that the rename
    // outlives a power cut. On failure `target` is untouched, no temporary file is left, and
    // the run-time file error is raised.
    virtual void replaceFile(const std::u16string& source, const std::u16string& target) = 0;

    // Puts a file holding `contents` in place of `path` in one step, as replaceFile does, with
    // the same guarantees.
    virtual void writeFile(const std::u16string& path, const std::string& contents) = 0;

    // Starts a program with a normal, focused window and does not wait for it. Raises
    // 53 "File not found" when it cannot be started.
    virtual void startProgram(const std::u16string& path) = 0;

    // Opens a document or web address with the user's default handler. Nothing is reported.
    virtual void openDocument(const std::u16string& address) = 0;

    virtual void sleep(std::chrono::milliseconds duration) = 0;

    // The size of a file, or nullopt when there is none.
    virtual std::optional<std::int64_t> fileSize(const std::u16string& path) = 0;

    // True when the file is a whole executable program of this system: here an ELF image whose
    // tables and loadable segments all lie within the file, or a script that starts with "#!".
    virtual bool isWholeProgram(const std::u16string& path) = 0;

    // True when a running process executes the program file at `path` (that very file, not
    // one of the same name elsewhere).
    virtual bool isProgramRunning(const std::u16string& path) = 0;
};

// Puts a file filled by `fill` (given the descriptor of a new file; false with errno set when
// it fails) in place of `target` in one step: written beside `target` under a temporary name,
// flushed, given `target`'s permissions (`newMode` when `target` is new), renamed over it, and
// the folder flushed. On failure `target` is untouched, no temporary file is left, and the
// run-time file error is raised.
void replaceAtomically(const std::filesystem::path& target, unsigned newMode, const std::function<bool(int)>& fill);

// replaceAtomically with `contents` as the new file (0644 when new).
void writeFileAtomically(const std::filesystem::path& target, std::string_view contents);

// The shell of a POSIX desktop.
class PosixShell : public Shell {
public:
    void deleteFile(const std::u16string& path) override;
    void replaceFile(const std::u16string& source, const std::u16string& target) override;
    void writeFile(const std::u16string& path, const std::string& contents) override;
    void startProgram(const std::u16string& path) override;
    void openDocument(const std::u16string& address) override;
    void sleep(std::chrono::milliseconds duration) override;
    std::optional<std::int64_t> fileSize(const std::u16string& path) override;
    bool isWholeProgram(const std::u16string& path) override;
    bool isProgramRunning(const std::u16string& path) override;
};

}  // namespace shell
