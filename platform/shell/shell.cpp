#include "platform/shell/shell.h"

#include "platform/runtime/runtime_error.h"

namespace shell {

std::optional<std::string> Shell::readFile(const std::u16string& path, std::size_t maxSize)
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

}  // namespace shell
