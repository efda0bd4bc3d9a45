#pragma once

#include "platform/shell/files.h"

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

// The programs around the updater: starting them, asking for an administrator's rights, the
// user's web browser, whether a program runs and whether a file is a whole program.
namespace shell {

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

class Programs {
public:
    virtual ~Programs() = default;

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

    // True when a running process executes the program file at `path` (that very file, not one
    // of the same name elsewhere), and also when that cannot be told: the check fails closed.
    // False when there is no such file.
    virtual bool isProgramRunning(const std::u16string& path) = 0;
};

// The programs of the system this program was built for.
std::unique_ptr<Programs> systemPrograms();

// True when the file is a whole executable program of this system, every part of it within
// the file (on Linux an ELF image or a "#!" script, on Windows a PE image).
bool isWholeProgram(InputFile& file);

// Makes this process load every library it loads from now on from the system's own folder
// alone, never from the program's folder or the current one, where anyone may have put a file
// of the library's name beside a program an administrator runs (Windows; nothing on POSIX,
// where a program's folder is never searched). The first call of every program that ships,
// before anything loads a library: the system's libraries that are no KnownDLLs are linked
// delay-loaded for this.
void loadLibrariesFromSystemOnly();

}  // namespace shell
