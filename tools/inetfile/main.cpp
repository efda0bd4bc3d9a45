// inetfile: drives the InternetFile download control from a shell.
//
//   inetfile info URL
//   inetfile get URL FILE       (StartDownload)
//   inetfile resume URL FILE    (ResumeDownload)
//
// Exit status: 0 after DownloadComplete (or info), 1 after DownloadError or DownloadCancelled,
// 2 after a run-time error, 64 for a usage error.
#include "download/internet_file.h"
#include "platform/inet/internet.h"
#include "platform/runtime/conversions.h"
#include "platform/runtime/runtime_error.h"
#include "platform/runtime/text.h"
#include "platform/shell/shell.h"

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr int kExitComplete = 0;
constexpr int kExitEnded = 1;
constexpr int kExitRuntimeError = 2;
constexpr int kExitUsage = 64;

constexpr char kUsage[] =
    "usage: inetfile info URL\n"
    "       inetfile get URL FILE\n"
    "       inetfile resume URL FILE\n"
    "options:\n"
    "  --connect-type N     0 system settings, 1 named proxy, 2 direct\n"
    "  --proxy-server S     proxy host for connect type 1\n"
    "  --proxy-port N       proxy port for connect type 1 (default 8080)\n"
    "  --proxy-user U       user name offered to a proxy that asks\n"
    "  --proxy-password P   password offered to a proxy that asks\n"
    "  --site-user U        user name for the information request\n"
    "  --site-password P    password for the information request\n"
    "  --ca-file FILE       trust only the authorities in FILE (PEM) for HTTPS\n"
    "  --validator-file F   where the validator of the file's bytes is kept: resume sends it\n"
    "                       (If-Range, so a changed file comes whole), get and resume record it\n"
    "  --cancel-after K     cancel inside the K-th progress event\n"
    "  --quiet              print only the line of the final event\n";

struct Options {
    std::string command;
    std::vector<std::string> operands;
    std::optional<std::int32_t> connectType;
    std::optional<std::string> proxyServer;
    std::optional<std::int32_t> proxyPort;
    std::optional<std::string> siteUser;
    std::optional<std::string> sitePassword;
    std::optional<std::string> proxyUser;
    std::optional<std::string> proxyPassword;
    std::optional<std::string> caFile;
    std::optional<std::string> validatorFile;
    std::optional<long> cancelAfter;
    bool quiet = false;
};

std::optional<long> number(std::string_view text)
{
    long value = 0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || ptr != text.data() + text.size())
        return std::nullopt;
    return value;
}

// The field of a text option, or nullptr for another argument.
std::optional<std::string>* textOption(Options& options, std::string_view arg)
{
    if (arg == "--proxy-server")
        return &options.proxyServer;
    if (arg == "--proxy-user")
        return &options.proxyUser;
    if (arg == "--proxy-password")
        return &options.proxyPassword;
    if (arg == "--site-user")
        return &options.siteUser;
    if (arg == "--site-password")
        return &options.sitePassword;
    if (arg == "--ca-file")
        return &options.caFile;
    if (arg == "--validator-file")
        return &options.validatorFile;
    return nullptr;
}

// The arguments in UTF-8, the program's name first.
std::optional<Options> parse(const std::vector<std::string>& arguments)
{
    Options options;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string_view arg = arguments[i];
        const auto value = [&]() -> std::optional<std::string> {
            if (i + 1 >= arguments.size())
                return std::nullopt;
            return arguments[++i];
        };
        if (arg == "--quiet") {
            options.quiet = true;
        } else if (arg == "--connect-type" || arg == "--proxy-port" || arg == "--cancel-after") {
            const auto text = value();
            const auto n = text ? number(*text) : std::nullopt;
            if (!n)
                return std::nullopt;
            if (arg == "--cancel-after") {
                options.cancelAfter = *n;
                continue;
            }
            // Both are 32-bit values of the control: a wider number is a mistyped option.
            if (*n < std::numeric_limits<std::int32_t>::min() || *n > std::numeric_limits<std::int32_t>::max())
                return std::nullopt;
            (arg == "--connect-type" ? options.connectType : options.proxyPort) = static_cast<std::int32_t>(*n);
        } else if (std::optional<std::string>* text = textOption(options, arg)) {
            *text = value();
            if (!text->has_value())
                return std::nullopt;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return std::nullopt;
        } else if (options.command.empty()) {
            options.command = arg;
        } else {
            options.operands.emplace_back(arg);
        }
    }
    const bool info = options.command == "info" && options.operands.size() == 1;
    const bool download = (options.command == "get" || options.command == "resume") && options.operands.size() == 2;
    if (!info && !download)
        return std::nullopt;
    return options;
}

// The control's site in a terminal: prints the control's events and cancels on request.
class TerminalSite : public controls::ControlSite {
public:
    TerminalSite(InternetFile& control, const Options& options) : m_control(control), m_options(options) {}

    int exitCode() const { return m_exitCode; }
    bool ended() const { return m_ended; }

    void propertyChanged(std::u16string_view) override {}

    void raiseEvent(const controls::EventInfo& event, std::span<runtime::Variant> args) override
    {
        const bool progress = event.number == internet_file::event::DownloadProgress.number;
        if (!progress) {
            m_ended = true;
            m_exitCode = event.number == internet_file::event::DownloadComplete.number ? kExitComplete : kExitEnded;
        }
        // The line is made only when it is printed: a quiet run stays as cheap as the copy.
        if (!progress || !m_options.quiet) {
            std::string line = runtime::toAnsi(event.name);
            for (const auto& arg : args)
                line += " " + runtime::toAnsi(runtime::toText(arg));
            std::printf("%s\n", line.c_str());
        }
        if (progress && m_options.cancelAfter && ++m_progressCount == *m_options.cancelAfter)
            m_control.CancelDownload();
    }

private:
    InternetFile& m_control;
    const Options& m_options;
    long m_progressCount = 0;
    bool m_ended = false;
    int m_exitCode = kExitComplete;
};

int run(const Options& options)
{
    inet::TlsTrust trust;
    if (options.caFile) {
        std::ifstream in(std::filesystem::path(runtime::fromUtf8(*options.caFile)));
        trust.authoritiesPem.assign(std::istreambuf_iterator<char>(in), {});
        if (!in || trust.authoritiesPem.empty()) {
            std::fprintf(stderr, "inetfile: cannot read %s\n", options.caFile->c_str());
            return kExitUsage;
        }
    }
    const auto internet = inet::systemInternet(inet::kDefaultTimeouts, trust);
    InternetFile control(*internet, [] {});
    TerminalSite site(control, options);
    control.setSite(&site);
    control.initNew();

    try {
        control.setUrl(runtime::fromUtf8(options.operands[0]));
        if (options.connectType)
            control.setConnectType(*options.connectType);
        if (options.proxyServer)
            control.setProxyServer(runtime::fromUtf8(*options.proxyServer));
        if (options.proxyPort)
            control.setProxyPort(runtime::toInteger(static_cast<double>(*options.proxyPort)));
        if (options.proxyUser)
            control.setProxyUser(runtime::fromUtf8(*options.proxyUser));
        if (options.proxyPassword)
            control.setProxyPassword(runtime::fromUtf8(*options.proxyPassword));
        if (options.siteUser)
            control.setSiteUser(runtime::fromUtf8(*options.siteUser));
        if (options.sitePassword)
            control.setSitePassword(runtime::fromUtf8(*options.sitePassword));

        if (options.command == "info") {
            control.RequestInformation();
            std::printf("FileExists=%s\nFileSize=%d\nLastModified=%s\n",
                        control.FileExists() == runtime::True ? "True" : "False", control.FileSize(),
                        runtime::toAnsi(control.LastModified()).c_str());
            return kExitComplete;
        }

        control.setLocalFile(runtime::fromUtf8(options.operands[1]));
        const std::filesystem::path validatorFile = runtime::fromUtf8(options.validatorFile.value_or(""));
        if (options.validatorFile && options.command == "resume") {
            std::ifstream in(validatorFile, std::ios::binary);
            control.setResumeValidator(runtime::fromUtf8(std::string(std::istreambuf_iterator<char>(in), {})));
        }
        if (options.command == "get")
            control.StartDownload();
        else
            control.ResumeDownload();
        if (options.validatorFile)
            std::ofstream(validatorFile, std::ios::binary) << runtime::toUtf8(control.ResumeValidator());
    } catch (const runtime::RuntimeError& error) {
        std::fflush(stdout);
        std::fprintf(stderr, "Error %d: %s\n", error.number(), runtime::toAnsi(error.description()).c_str());
        return kExitRuntimeError;
    }
    if (!site.ended()) {
        // ResumeDownload swallowed an error that ended the download without an event.
        std::fprintf(stderr, "The download ended without an event.\n");
        return kExitRuntimeError;
    }
    return site.exitCode();
}

}  // namespace

int main(int argc, char* argv[])
{
    shell::loadLibrariesFromSystemOnly();
    const auto options = parse(runtime::programArguments(argc, argv));
    if (!options) {
        std::fputs(kUsage, stderr);
        return kExitUsage;
    }
    return run(*options);
}
