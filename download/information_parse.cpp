#include "download/information_parse.h"

#include "platform/inet/http_headers.h"
#include "platform/runtime/conversions.h"
#include "platform/runtime/runtime_error.h"
#include "platform/runtime/text.h"

#include <optional>

namespace internet_file {

namespace {

constexpr std::u16string_view kNotAvailable = u"Not Available";
constexpr std::u16string_view kFileNotFoundStatus = u"HTTP/1.1 404 File Not Found";
constexpr std::u16string_view kLastModified = u"last-modified: ";
constexpr std::u16string_view kContentLength = u"content-length: ";

// Mid$(text, start, length) with 1-based start; a negative length is an invalid argument.
std::u16string mid(const std::u16string& text, std::size_t start, std::int64_t length)
{
    if (length < 0)
        throw runtime::RuntimeError(runtime::error::kInvalidProcedureCall);
    if (start > text.size())
        return {};
    return text.substr(start - 1, static_cast<std::size_t>(length));
}

// The value after the first `name` (found in `lower`) up to the next CR LF, or nothing.
std::optional<std::u16string> valueOf(const std::u16string& headers, const std::u16string& lower,
                                      std::u16string_view name)
{
    const std::size_t found = runtime::findText(lower, name);
    if (found == 0)
        return std::nullopt;
    const std::size_t start = found + name.size();
    const std::size_t end = runtime::findText(headers, u"\r\n", start);
    return mid(headers, start, static_cast<std::int64_t>(end) - static_cast<std::int64_t>(start));
}

}  // namespace

void parseInformation(const std::u16string& headers, Information& values, const std::function<void()>& yield)
{
    const std::u16string lower = runtime::lowerCase(headers);
    values.LastModified = valueOf(headers, lower, kLastModified).value_or(std::u16string(kNotAvailable));
    yield();
    const auto length = valueOf(headers, lower, kContentLength);
    values.FileSize = length ? runtime::toLong(runtime::Variant(*length)) : -1;
    yield();
    // Servers write the reason as they like ("Not Found"): the status itself says the file is
    // missing (404) or gone for good (410).
    const auto status = inet::answerStatus(runtime::toAnsi(headers));
    values.FileExists =
        runtime::Bool16(runtime::findText(headers, kFileNotFoundStatus) == 0 && status != 404 && status != 410);
}

}  // namespace internet_file
