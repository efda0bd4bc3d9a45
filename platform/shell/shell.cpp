#include "platform/shell/shell.h"

#include "platform/runtime/runtime_error.h"

#include <algorithm>
#include <vector>

namespace shell {

std::optional<std::string> Files::readFile(const std::u16string& path, std::size_t maxSize)
{
    const auto file = openFile(path);
    if (!file)
        return std::nullopt;
    if (file->size() > maxSize)
        throw runtime::FileError(runtime::error::kPathFileAccessError, runtime::FileProblem::Other, path);
    std::string contents(static_cast<std::size_t>(file->size()), '\0');
    if (!file->readAt(0, std::as_writable_bytes(std::span(contents))))
        throw runtime::FileError(runtime::error::kDeviceIoError, runtime::FileProblem::Other, path);
    return contents;
}

void readInPieces(InputFile& source, const std::function<void(std::span<const std::byte>)>& take)
{
    std::vector<std::byte> piece(64 * 1024);
    for (std::uint64_t offset = 0; offset < source.size();) {
        const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(piece.size(), source.size() - offset));
        if (!source.readAt(offset, std::span(piece.data(), n)))
            throw runtime::RuntimeError(runtime::error::kDeviceIoError);
        take(std::span<const std::byte>(piece.data(), n));
        offset += n;
    }
}

namespace {

// The system's files and programs, each from its own half, as one service.
class SystemShell final : public Shell {
public:
    void deleteFile(const std::u16string& path) override { m_files->deleteFile(path); }
    std::unique_ptr<InputFile> openFile(const std::u16string& path) override { return m_files->openFile(path); }
    std::unique_ptr<StagedFile> stageCopy(InputFile& source, const std::u16string& target,
                                          InputFile* permissionsOf) override
    {
        return m_files->stageCopy(source, target, permissionsOf);
    }
    std::unique_ptr<StagedFile> stageText(std::string_view contents, const std::u16string& target) override
    {
        return m_files->stageText(contents, target);
    }
    void removeStaleStages(const std::u16string& target) override { m_files->removeStaleStages(target); }
    std::unique_ptr<FolderLock> lockFolder(const std::u16string& folder) override
    {
        return m_files->lockFolder(folder);
    }
    bool canWriteIn(const std::u16string& folder) override { return m_files->canWriteIn(folder); }

    bool offersElevation() const override { return m_programs->offersElevation(); }
    std::optional<int> runElevated(std::u16string_view flag, const std::function<void()>& wait) override
    {
        return m_programs->runElevated(flag, wait);
    }
    void startProgram(const std::u16string& path) override { m_programs->startProgram(path); }
    void openDocument(const std::u16string& address) override { m_programs->openDocument(address); }
    void sleep(std::chrono::milliseconds duration) override { m_programs->sleep(duration); }
    bool isProgramRunning(const std::u16string& path) override { return m_programs->isProgramRunning(path); }

private:
    std::unique_ptr<Files> m_files = systemFiles();
    std::unique_ptr<Programs> m_programs = systemPrograms();
};

}  // namespace

std::unique_ptr<Shell> systemShell()
{
    return std::make_unique<SystemShell>();
}

}  // namespace shell
