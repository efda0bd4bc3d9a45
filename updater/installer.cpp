#include "updater/installer.h"

#include "platform/runtime/runtime_error.h"
#include "platform/runtime/text.h"

#include <algorithm>
#include <vector>

namespace {

namespace files = update_files;
using runtime::RuntimeError;

// Reads a stage's bytes for the signature check.
signature::ReadAt readerOf(shell::InputFile& file)
{
    return [&file](std::uint64_t offset, std::span<std::byte> into) { return file.readAt(offset, into); };
}

}  // namespace

Installer::Installer(InstallerEnvironment environment) : m_env(std::move(environment)) {}

Installer::~Installer() = default;

void Installer::sweepStaleStages()
{
    for (const auto name : {files::kApplication, files::kBackup, files::kKeptSignature, files::kDownload})
        m_env.shell.removeStaleStages(path(name));
}

std::optional<std::string> Installer::installedHash()
{
    try {
        const auto installed = m_env.shell.openFile(path(files::kApplication));
        return installed ? delta::sha256Hex(*installed) : std::nullopt;
    } catch (const RuntimeError&) {
        return std::nullopt;
    }
}

bool Installer::rebuildDownload(delta::Form form)
{
    try {
        const auto installed = m_env.shell.openFile(path(files::kApplication));
        if (!installed)
            return false;
        const std::uint64_t maxSize = delta::maxRebuiltSize(installed->size());
        // The frame is never larger than the program it holds.
        const auto frame = m_env.shell.readFile(path(files::kDownload), static_cast<std::size_t>(maxSize));
        std::optional<std::string> source;
        if (form == delta::Form::Patch) {
            source.emplace(static_cast<std::size_t>(installed->size()), '\0');
            if (!installed->readAt(0, std::as_writable_bytes(std::span(*source))))
                source.reset();
        }
        const auto program = frame ? delta::decode(*frame, source, maxSize) : std::nullopt;
        if (program && (form != delta::Form::Patch || source)) {
            m_env.shell.writeFile(path(files::kDownload), *program);
            return true;
        }
    } catch (const RuntimeError&) {
    } catch (const std::bad_alloc&) {
    }
    removeDownload();
    return false;
}

void Installer::prepareDownload()
{
    m_env.shell.writeFile(path(files::kDownload), {});
}

Installer::Verdict Installer::check(const Candidate& candidate, const inet::WaitCallback& wait)
{
    m_program.reset();
    m_signature.reset();
    m_keptBefore.reset();
    const auto download = m_env.shell.openFile(path(files::kDownload));
    if (!download)
        return Verdict::NotAProgram;
    // The stage takes the installed program's permissions; a program that cannot be looked at
    // stops the update here.
    const auto installed = m_env.shell.openFile(path(files::kApplication));
    auto stage = m_env.shell.stageCopy(*download, path(files::kApplication), installed.get());

    // An error page, a cut transfer or half a program must never replace the application. A
    // size the server gave must be met exactly; without one the program must prove itself
    // whole.
    const std::uint64_t size = stage->contents().size();
    // A length of 0 announces nothing: no program is empty.
    if (size == 0 || (candidate.announcedSize > 0 && size != static_cast<std::uint64_t>(candidate.announcedSize))
        || !m_env.shell.isWholeProgram(stage->contents()))
        return Verdict::NotAProgram;

    m_program = std::move(stage);
    if (!m_env.updateKey)
        return Verdict::Accepted;
    bool givenUp = false;
    const inet::WaitCallback watched = [&] {
        const bool keep = !wait || wait();
        givenUp = givenUp || !keep;
        return keep;
    };
    if (signatureAccepted(candidate, watched))
        return Verdict::Accepted;
    m_program.reset();
    return givenUp ? Verdict::GivenUp : Verdict::NotSigned;
}

bool Installer::signatureAccepted(const Candidate& candidate, const inet::WaitCallback& wait)
{
    // The floor is read first: a kept signature that is there but cannot be read (held, too
    // large, a folder) raises, for taking it as none would let an older release back in.
    m_keptBefore = m_env.shell.readFile(path(files::kKeptSignature), signature::kMaxSignatureFileSize);
    auto text = m_env.releaseFiles.read(candidate.signatureUrl, wait);
    if (!text)
        return false;
    const signature::UpdateRule rule{*m_env.updateKey, runtime::toUtf8(candidate.fileName), m_env.minimumTimestamp,
                                     m_keptBefore};
    shell::InputFile& program = m_program->contents();
    if (!signature::acceptsUpdate(*text, rule, program.size(), readerOf(program)))
        return false;
    m_signature = std::move(text);
    return true;
}

bool Installer::installedEqualsStage(shell::InputFile* installed)
{
    shell::InputFile& stage = m_program->contents();
    if (!installed || installed->size() != stage.size())
        return false;
    std::vector<std::byte> ours(64 * 1024);
    std::vector<std::byte> theirs(ours.size());
    for (std::uint64_t offset = 0; offset < stage.size();) {
        const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(ours.size(), stage.size() - offset));
        if (!stage.readAt(offset, std::span(ours.data(), n)) || !installed->readAt(offset, std::span(theirs.data(), n))
            || !std::equal(ours.begin(), ours.begin() + static_cast<std::ptrdiff_t>(n), theirs.begin()))
            return false;
        offset += n;
    }
    return true;
}

void Installer::refuseRunningProgram()
{
    if (m_env.shell.isProgramRunning(path(files::kApplication)))
        throw RuntimeError(runtime::error::kPermissionDenied);
}

void Installer::prepareInstall()
{
    if (!m_program)
        throw RuntimeError(runtime::error::kPathFileAccessError);
    try {
        refuseRunningProgram();
        // Everything that can fail for want of room or rights is written before the program
        // moves. The backup is whole or not made at all; without it nothing is swapped. A first
        // install has no program to keep, and a program installed again keeps the backup of the
        // one before it.
        if (m_signature)
            m_signatureStage = m_env.shell.stageText(*m_signature, path(files::kKeptSignature));
        const auto installed = m_env.shell.openFile(path(files::kApplication));
        if (installed && !installedEqualsStage(installed.get()))
            m_backupStage = m_env.shell.stageCopy(*installed, path(files::kBackup), installed.get());
    } catch (const RuntimeError&) {
        // Stages that will not be used are no files to leave behind.
        release();
        throw;
    }
}

void Installer::install()
{
    if (!m_program)
        throw RuntimeError(runtime::error::kPathFileAccessError);
    try {
        putInPlace();
    } catch (const RuntimeError&) {
        if (!m_program->committed()) {
            release();
            throw;
        }
        // In place, only the folder's flush failed: the update has happened.
    }
}

void Installer::putInPlace()
{
    // The program may have been started while the user read the box.
    refuseRunningProgram();
    if (const std::unique_ptr<shell::StagedFile> backup = std::move(m_backupStage))
        backup->commit();
    // The program is never in place beside the signature of the one before it: its own goes
    // first. Should the program then not move, the floor is at worst the newer one's.
    commitKeptSignature();
    try {
        m_program->commit();
    } catch (const RuntimeError&) {
        if (!m_program->committed())
            restoreKeptSignature();
        throw;
    }
}

void Installer::commitKeptSignature()
{
    const std::unique_ptr<shell::StagedFile> signatureStage = std::move(m_signatureStage);
    if (signatureStage) {
        signatureStage->commit();
        return;
    }
    // Without a key the program comes with no signature: one kept for the program before goes.
    const std::u16string kept = path(files::kKeptSignature);
    try {
        if (m_env.shell.openFile(kept))
            m_env.shell.deleteFile(kept);
    } catch (const runtime::FileError& error) {
        if (error.problem() != runtime::FileProblem::Folder)  // a folder is no signature
            throw;
    }
}

void Installer::restoreKeptSignature() noexcept
{
    if (!m_signature)
        return;  // without a key nothing was kept, and nothing is trusted
    try {
        if (m_keptBefore)
            m_env.shell.writeFile(path(files::kKeptSignature), *m_keptBefore);
        else
            m_env.shell.deleteFile(path(files::kKeptSignature));
    } catch (const RuntimeError&) {
    } catch (const std::bad_alloc&) {
    }
}

void Installer::release() noexcept
{
    m_program.reset();
    m_signatureStage.reset();
    m_backupStage.reset();
    m_signature.reset();
    m_keptBefore.reset();
}

void Installer::removeDownload() noexcept
{
    try {
        m_env.shell.deleteFile(path(files::kDownload));
    } catch (const RuntimeError&) {
    } catch (const std::bad_alloc&) {
    }
}
