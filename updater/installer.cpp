#include "updater/installer.h"

#include "platform/runtime/runtime_error.h"
#include "platform/runtime/text.h"

#include <algorithm>
#include <charconv>
#include <vector>

namespace {

namespace files = update_files;
using runtime::RuntimeError;

// Reads a stage's bytes for the signature check.
signature::ReadAt readerOf(shell::InputFile& file)
{
    return [&file](std::uint64_t offset, std::span<std::byte> into) { return file.readAt(offset, into); };
}

// A prefix of a file, read as a file of its own.
class Prefix : public shell::InputFile {
public:
    Prefix(shell::InputFile& file, std::uint64_t length) : m_file(file), m_length(std::min(length, file.size())) {}
    std::uint64_t size() const override { return m_length; }
    bool readAt(std::uint64_t offset, std::span<std::byte> into) override
    {
        return offset + into.size() <= m_length && m_file.readAt(offset, into);
    }

private:
    shell::InputFile& m_file;
    std::uint64_t m_length;
};

}  // namespace

Installer::Installer(shell::Shell& shell, ReleaseFileReader& releaseFiles, std::u16string appFolder,
                     std::optional<signature::PublicKey> updateKey, std::uint64_t minimumTimestamp)
    : m_shell(shell)
    , m_releaseFiles(releaseFiles)
    , m_appFolder(std::move(appFolder))
    , m_updateKey(std::move(updateKey))
    , m_minimumTimestamp(minimumTimestamp)
{
}

Installer::~Installer() = default;

std::string PartRecord::text() const
{
    return "file:" + fileName + "\nsize:" + std::to_string(size) + "\nvalidator:" + validator
           + "\nlength:" + std::to_string(length) + "\n";
}

std::optional<PartRecord> PartRecord::parse(std::string_view text)
{
    PartRecord record;
    const auto field = [&](std::string_view name) -> std::optional<std::string_view> {
        if (!text.starts_with(name) || text.find('\n') == std::string_view::npos)
            return std::nullopt;
        const std::string_view value = text.substr(name.size(), text.find('\n') - name.size());
        text.remove_prefix(text.find('\n') + 1);
        return value;
    };
    const auto number = [](std::optional<std::string_view> digits, std::int32_t& into) {
        return digits && !digits->empty()
               && std::from_chars(digits->data(), digits->data() + digits->size(), into).ptr
                      == digits->data() + digits->size();
    };
    const auto name = field("file:");
    const auto size = field("size:");
    const auto validator = field("validator:");
    const auto length = field("length:");
    if (!name || !validator || validator->empty() || !number(size, record.size) || !number(length, record.length)
        || !text.empty() || record.length <= 0 || record.length >= record.size)
        return std::nullopt;
    record.fileName = std::string(*name);
    record.validator = std::string(*validator);
    return record;
}

void Installer::sweepStaleStages()
{
    for (const auto name :
         {files::kApplication, files::kBackup, files::kKeptSignature, files::kDownload, files::kPartRecord})
        m_shell.removeStaleStages(path(name));
}

std::optional<std::string> Installer::installedHash()
{
    try {
        const auto installed = m_shell.openFile(path(files::kApplication));
        return installed ? delta::sha256Hex(*installed) : std::nullopt;
    } catch (const RuntimeError&) {
        return std::nullopt;
    }
}

bool Installer::rebuildDownload(delta::Form form)
{
    try {
        const auto installed = m_shell.openFile(path(files::kApplication));
        if (!installed)
            return false;
        const std::uint64_t maxSize = delta::maxRebuiltSize(installed->size());
        // The frame is never larger than the program it holds.
        const auto frame = m_shell.readFile(path(files::kDownload), static_cast<std::size_t>(maxSize));
        std::optional<std::string> source;
        if (form == delta::Form::Patch) {
            source.emplace(static_cast<std::size_t>(installed->size()), '\0');
            if (!installed->readAt(0, std::as_writable_bytes(std::span(*source))))
                source.reset();
        }
        const auto program = frame ? delta::decode(*frame, source, maxSize) : std::nullopt;
        if (program && (form != delta::Form::Patch || source)) {
            m_shell.writeFile(path(files::kDownload), *program);
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
    m_shell.writeFile(path(files::kDownload), {});
    try {
        m_shell.deleteFile(path(files::kPartRecord));  // the new download is no kept part
    } catch (const runtime::FileError& error) {
        if (error.number() != runtime::error::kFileNotFound)
            throw;
    }
}

Installer::Verdict Installer::check(const Candidate& candidate, const inet::WaitCallback& wait)
{
    m_program.reset();
    m_signature.reset();
    m_keptBefore.reset();
    const auto download = m_shell.openFile(path(files::kDownload));
    if (!download)
        return Verdict::NotAProgram;
    // The stage takes the installed program's permissions; a program that cannot be looked at
    // stops the update here.
    const auto installed = m_shell.openFile(path(files::kApplication));
    auto stage = m_shell.stageCopy(*download, path(files::kApplication), installed.get());

    // An error page, a cut transfer or half a program must never replace the application. A
    // size the server gave must be met exactly; without one the program must prove itself
    // whole.
    const std::uint64_t size = stage->contents().size();
    // A length of 0 announces nothing: no program is empty.
    if (size == 0 || (candidate.announcedSize > 0 && size != static_cast<std::uint64_t>(candidate.announcedSize))
        || !shell::isWholeProgram(stage->contents()))
        return Verdict::NotAProgram;

    m_program = std::move(stage);
    if (!m_updateKey)
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
    m_keptBefore = m_shell.readFile(path(files::kKeptSignature), signature::kMaxSignatureFileSize);
    auto text = m_releaseFiles.read(candidate.signatureUrl, wait);
    if (!text)
        return false;
    const signature::UpdateRule rule{*m_updateKey, runtime::toUtf8(candidate.fileName), m_minimumTimestamp,
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
    if (m_shell.isProgramRunning(path(files::kApplication)))
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
            m_signatureStage = m_shell.stageText(*m_signature, path(files::kKeptSignature));
        const auto installed = m_shell.openFile(path(files::kApplication));
        if (installed && !installedEqualsStage(installed.get()))
            m_backupStage = m_shell.stageCopy(*installed, path(files::kBackup), installed.get());
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
        if (m_shell.openFile(kept))
            m_shell.deleteFile(kept);
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
            m_shell.writeFile(path(files::kKeptSignature), *m_keptBefore);
        else
            m_shell.deleteFile(path(files::kKeptSignature));
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
    for (const auto name : {files::kPartRecord, files::kDownload}) {
        try {
            m_shell.deleteFile(path(name));
        } catch (const RuntimeError&) {
        } catch (const std::bad_alloc&) {
        }
    }
}

void Installer::keepPart(const PartRecord& record) noexcept
{
    try {
        m_shell.writeFile(path(files::kPartRecord), record.text());
    } catch (const RuntimeError&) {
    } catch (const std::bad_alloc&) {
    }
}

std::optional<PartRecord> Installer::keptPart() noexcept
{
    try {
        const auto text = m_shell.readFile(path(files::kPartRecord), kMaxReleaseFileSize);
        return text ? PartRecord::parse(*text) : std::nullopt;
    } catch (const RuntimeError&) {
    } catch (const std::bad_alloc&) {
    }
    return std::nullopt;
}

std::optional<PartRecord> Installer::resumablePart(const std::string& fileName)
{
    const std::optional<PartRecord> record = keptPart();
    auto part = record && record->fileName == fileName ? m_shell.openFile(path(files::kDownload)) : nullptr;
    if (!part || part->size() < static_cast<std::uint64_t>(record->length)) {
        removeDownload();
        return std::nullopt;
    }
    // The record goes first: should what follows fail, the part is never trusted again.
    m_shell.deleteFile(path(files::kPartRecord));
    std::unique_ptr<shell::StagedFile> cut;
    {
        Prefix known(*part, static_cast<std::uint64_t>(record->length));
        cut = m_shell.stageCopy(known, path(files::kDownload), part.get());
    }
    part.reset();  // Windows replaces no file that is open
    cut->commit();
    keepPart(*record);
    return record;
}
