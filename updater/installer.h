#pragma once

#include "platform/inet/internet.h"
#include "platform/runtime/binary_file.h"
#include "platform/shell/shell.h"
#include "updater/delta.h"
#include "updater/signature.h"
#include "updater/url_readers.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

// The files of the updater's folder, named with their leading "\" (runtime::inFolder).
namespace update_files {
inline constexpr std::u16string_view kDownload = u"\\VelkoraLirvane_down.exe";
inline constexpr std::u16string_view kApplication = u"\\VelkoraLirvane.exe";
inline constexpr std::u16string_view kBackup = u"\\VelkoraLirvane_old.exe";
// The signature of the installed program: the floor that no later update may go below.
inline constexpr std::u16string_view kKeptSignature = u"\\VelkoraLirvane.exe.minisig";
// What a cut download left of the program, for the next attempt to continue (PartRecord).
inline constexpr std::u16string_view kPartRecord = u"\\VelkoraLirvane_down.exe.resume";
}  // namespace update_files

// What a cut download leaves beside its part, for the next attempt to trust it: the program it
// belongs to, as the file-name text named it; the size the server announced; the server's
// validator of its bytes (ETag or Last-Modified); the length the part had when it was cut.
struct PartRecord {
    std::string fileName;
    std::int32_t size = 0;
    std::string validator;
    std::int32_t length = 0;

    std::string text() const;
    // nullopt for a text that is no record, or one that could not be continued (no validator,
    // a length not within the size).
    static std::optional<PartRecord> parse(std::string_view text);
};

// The finished download, as the update procedure knows it.
struct Candidate {
    std::int32_t announcedSize = -1;  // the size the server gave; 0 or less: none
    std::u16string fileName;          // the program's name, as the file-name text gave it
    std::u16string signatureUrl;      // where its signature lies on the update server
};

// The install transaction of one update: from the finished download to the program in place,
// with its backup and its kept signature. What is checked is what is installed: the download
// is first copied to a stage of the program that no other program can reach, and every check
// and the swap work on that copy. Whoever uses it holds the folder's lock (Files::lockFolder).
class Installer {
public:
    enum class Verdict {
        Accepted,
        NotAProgram,  // empty, cut, of another size than announced, or no program of this system
        NotSigned,    // no signature, or one the rule refuses
        GivenUp,      // the wait for the signature was given up (cancel or close)
    };

    // Works in `appFolder`, the updater's own, without a trailing separator. With `updateKey`,
    // only programs the vendor signed are installed, and none signed before `minimumTimestamp`
    // (seconds since 1970), whatever signature was kept.
    Installer(shell::Shell& shell, ReleaseFileReader& releaseFiles, std::u16string appFolder,
              std::optional<signature::PublicKey> updateKey, std::uint64_t minimumTimestamp);
    ~Installer();
    Installer(const Installer&) = delete;
    Installer& operator=(const Installer&) = delete;

    // The download's file, for the download control to write.
    std::u16string downloadPath() const { return path(update_files::kDownload); }
    // The installed program, as it is started.
    std::u16string programPath() const { return path(update_files::kApplication); }

    // Deletes what an updater that died mid-way left of its stages: they are the folder's own.
    // Raises the file error of a stage that cannot go.
    void sweepStaleStages();

    // The SHA-256 of the installed program (delta::sha256Hex); nullopt when there is none or it
    // cannot be read.
    std::optional<std::string> installedHash();

    // Puts in the download's place the program that the download holds in `form` (a patch of
    // the installed program, or the program compressed); false, with the download gone, when
    // it cannot be had from it (cut, damaged, of another program, too large). The program
    // rebuilt is checked by check() as any download.
    bool rebuildDownload(delta::Form form);

    // Gives the download's name a new, empty file for the download control to write: whatever
    // lay there (an earlier download, a link, even one to the program) is replaced as a name,
    // never written through or followed. Raises the file error; the program is untouched.
    void prepareDownload();

    // Stages a copy of the download for the program and checks it. Raises the file error when
    // the copy cannot be made or a kept signature that is there cannot be read (only a missing
    // one is none); nothing of the folder has changed then. `wait` runs while the signature is
    // read from the server.
    Verdict check(const Candidate& candidate, const inet::WaitCallback& wait);

    // Readies all that install() writes, so that only renames are left: refuses a running
    // program (70), and stages the program's kept signature and the backup of the installed
    // program (unless it already is this program). Raises the file error when a stage cannot be
    // written or the program cannot be looked at; nothing of the folder has changed then.
    void prepareInstall();

    // Puts the checked and prepared program in place: the backup, then the program's kept
    // signature (the new one, or none without a key), then the program, each in one step.
    // Raises when the program cannot be put in place (it was started meanwhile, a rename
    // fails); the program is untouched then, and its own kept signature back where it can be.
    // Once the program is in place nothing is raised: the update has happened.
    void install();

    // Deletes the download and its part's record, if they are there; errors are passed over.
    void removeDownload() noexcept;

    // Keeps the download as the part of the program `record` names, the record written beside
    // it in one step. Errors are passed over: a part without its record is deleted next time.
    void keepPart(const PartRecord& record) noexcept;

    // The record of the part kept, if there is one and it reads as a record.
    std::optional<PartRecord> keptPart() noexcept;

    // The part kept for `fileName`, cut back to the length its record knows on the disk, in a new
    // file of this updater's under the download's name (never through what lay there); nullopt,
    // the part and its record deleted, for none, a damaged record, another file's or a part
    // shorter than its record. Raises the file error when the part cannot be given its name.
    std::optional<PartRecord> resumablePart(const std::string& fileName);

    // Lets go of what check() staged: an uncommitted stage goes, and no file stays open.
    void release() noexcept;

private:
    bool signatureAccepted(const Candidate& candidate, const inet::WaitCallback& wait);
    // A running program would go on running beside its replacement: a swap that cannot be made.
    void refuseRunningProgram();
    // The renames up to the program's; raises when the program is not in place.
    void putInPlace();
    // Puts the kept signature of the program to come in place; raises, changing nothing.
    void commitKeptSignature();
    // After a program that did not move: the kept signature it had, or at least a floor no
    // lower than it; errors are passed over.
    void restoreKeptSignature() noexcept;
    bool installedEqualsStage(shell::InputFile* installed);
    std::u16string path(std::u16string_view name) const { return runtime::inFolder(m_appFolder, name); }

    shell::Shell& m_shell;
    ReleaseFileReader& m_releaseFiles;
    std::u16string m_appFolder;
    std::optional<signature::PublicKey> m_updateKey;
    std::uint64_t m_minimumTimestamp;
    std::unique_ptr<shell::StagedFile> m_program;
    std::optional<std::string> m_signature;   // accepted, to keep beside the program
    std::optional<std::string> m_keptBefore;  // the installed program's, as check() read it
    std::unique_ptr<shell::StagedFile> m_signatureStage;
    std::unique_ptr<shell::StagedFile> m_backupStage;
};
