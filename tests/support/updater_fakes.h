#pragma once

#include "download/internet_file_dispatch.h"
#include "platform/controls/dispatch.h"
#include "platform/runtime/binary_file.h"
#include "platform/runtime/conversions.h"
#include "platform/runtime/runtime_error.h"
#include "platform/runtime/text.h"
#include "platform/shell/shell.h"
#include "updater/update_view.h"
#include "updater/url_readers.h"

#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// Recorders and fakes for the update procedure. They all write into one shared log, one line a
// call, so that a test can check what happened in which order.
using Log = std::vector<std::string>;

inline std::string u8(const std::u16string& text)
{
    return runtime::toUtf8(text);
}

class RecordingView : public UpdateView {
public:
    explicit RecordingView(Log& log) : m_log(log) {}
    void setStatusText(const std::u16string& text) override { m_log.push_back("status " + u8(text)); }
    void setButtonEnabled(Button button, bool enabled) override
    {
        static const char* names[] = {"basla", "btniptal", "cmdClose"};
        m_log.push_back(std::string(enabled ? "enable " : "disable ") + names[static_cast<int>(button)]);
    }
    void setProgressMax(std::int32_t maximum) override { m_log.push_back("max " + std::to_string(maximum)); }
    void setProgressValue(std::int32_t value) override { m_log.push_back("value " + std::to_string(value)); }
    void setProgressText(const std::u16string& text) override { m_log.push_back("caption " + u8(text)); }
    void setLinkEnabled(bool enabled) override { m_log.push_back(enabled ? "enable lblActive" : "disable lblActive"); }
    void processEvents() override {}

private:
    Log& m_log;
};

class RecordingBoxes : public MessageBoxes {
public:
    explicit RecordingBoxes(Log& log) : m_log(log) {}
    std::function<void()> onShow;  // runs while the box is "open"
    void show(const std::u16string& text, const std::u16string& title, MessageIcon icon) override
    {
        static const char* icons[] = {"information", "exclamation", "critical"};
        m_log.push_back("box " + std::string(icons[static_cast<int>(icon)]) + " [" + u8(title) + "] " + u8(text));
        if (onShow)
            onShow();
    }

private:
    Log& m_log;
};

// The real shell on real files, with the calls that change files logged (paths shortened to
// the file name), programs not really started, no real sleeping, and failures to order.
class RecordingShell : public shell::Shell {
public:
    explicit RecordingShell(Log& log) : m_log(log) {}
    std::string failCommitOf;  // the name of a target whose stage cannot be put in its place
    std::string failOpenOf;    // the name of a file that cannot be looked at (70)
    bool failDelete = false;
    bool startForReal = false;
    bool writable = true;  // whether the folder lets this run write
    bool elevates = true;  // whether the system asks for an administrator's consent
    // Stands in for the system's prompt: the elevated run's exit status, nullopt for declined.
    std::optional<int> elevatedStatus;
    std::function<void()> onElevate;  // runs while the elevated run runs, as window events may
    std::function<void()> onSleep;    // runs in place of each pause

    void deleteFile(const std::u16string& path) override
    {
        std::error_code absent;
        if (std::filesystem::exists(std::filesystem::symlink_status(runtime::nativePath(path), absent)))
            m_log.push_back("delete " + name(path));
        if (failDelete)
            throw runtime::RuntimeError(runtime::error::kPermissionDenied);
        m_real->deleteFile(path);
    }
    std::unique_ptr<shell::InputFile> openFile(const std::u16string& path) override
    {
        if (name(path) == failOpenOf)
            throw runtime::RuntimeError(runtime::error::kPermissionDenied);
        return m_real->openFile(path);
    }
    std::unique_ptr<shell::StagedFile> stageCopy(shell::InputFile& source, const std::u16string& target,
                                                 shell::InputFile* permissionsOf) override
    {
        m_log.push_back("stage " + name(target));
        return recorded(m_real->stageCopy(source, target, permissionsOf), name(target));
    }
    std::unique_ptr<shell::StagedFile> stageText(std::string_view contents, const std::u16string& target) override
    {
        m_log.push_back("stage " + name(target));
        return recorded(m_real->stageText(contents, target), name(target));
    }
    void removeStaleStages(const std::u16string& target) override { m_real->removeStaleStages(target); }
    std::unique_ptr<shell::FolderLock> lockFolder(const std::u16string& folder) override
    {
        return m_real->lockFolder(folder);
    }
    bool canWriteIn(const std::u16string& folder) override { return writable && m_real->canWriteIn(folder); }
    bool offersElevation() const override { return elevates; }
    std::optional<int> runElevated(std::u16string_view flag, const std::function<void()>&) override
    {
        m_log.push_back("elevate " + u8(std::u16string(flag)));
        if (onElevate)
            onElevate();
        return elevatedStatus;
    }
    void startProgram(const std::u16string& path) override
    {
        m_log.push_back("start " + name(path));
        if (!startForReal)
            return;
        try {
            m_real->startProgram(path);
        } catch (const runtime::RuntimeError&) {
            m_log.push_back("start failed");
            throw;
        }
    }
    void openDocument(const std::u16string& address) override { m_log.push_back("open " + u8(address)); }
    void sleep(std::chrono::milliseconds duration) override
    {
        m_log.push_back("sleep " + std::to_string(duration.count()));
        if (onSleep)
            onSleep();
    }
    bool isProgramRunning(const std::u16string& path) override { return m_real->isProgramRunning(path); }

private:
    class RecordedStage : public shell::StagedFile {
    public:
        RecordedStage(std::unique_ptr<shell::StagedFile> real, std::string target, bool fails, Log& log)
            : m_real(std::move(real)), m_target(std::move(target)), m_fails(fails), m_log(log)
        {
        }
        shell::InputFile& contents() override { return m_real->contents(); }
        void commit() override
        {
            m_log.push_back("commit " + m_target);
            if (m_fails)
                throw runtime::RuntimeError(runtime::error::kPermissionDenied);
            m_real->commit();
        }
        bool committed() const override { return m_real->committed(); }

    private:
        std::unique_ptr<shell::StagedFile> m_real;
        std::string m_target;
        bool m_fails;
        Log& m_log;
    };

    std::unique_ptr<shell::StagedFile> recorded(std::unique_ptr<shell::StagedFile> real, const std::string& target)
    {
        return std::make_unique<RecordedStage>(std::move(real), target, target == failCommitOf, m_log);
    }
    static std::string name(const std::u16string& path)
    {
        const std::string text = u8(path);
        return text.substr(text.find_last_of("\\/") + 1);
    }
    Log& m_log;
    std::unique_ptr<shell::Shell> m_real = shell::systemShell();
};

// Inet1 answering from a queue: a text, or nullopt for a failure.
class FakeInet1 : public Inet1Control {
public:
    explicit FakeInet1(Log& log) : m_log(log) {}
    std::deque<std::optional<std::u16string>> answers;
    std::function<void()> onOpen;  // runs inside the fetch, as window events may
    // Runs the reader's wait callback once inside the fetch, as a waiting reader does; a
    // callback that gives up makes the fetch fail.
    bool waits = false;
    std::u16string OpenURL(const std::u16string& url, const inet::WaitCallback& wait) override
    {
        m_log.push_back("Inet1 " + u8(url));
        if (onOpen)
            onOpen();
        if (waits && !wait()) {
            m_log.push_back("Inet1 gave up");
            throw runtime::RuntimeError(35764, u"Still executing last request");
        }
        std::optional<std::u16string> answer;
        if (!answers.empty()) {
            answer = answers.front();
            answers.pop_front();
        }
        if (!answer)
            throw runtime::RuntimeError(35754, u"Unable to connect to remote host");
        return *answer;
    }

private:
    Log& m_log;
};

class FakeBrowser : public WebBrowserControl {
public:
    explicit FakeBrowser(Log& log) : m_log(log) {}
    std::optional<std::u16string> bodyText;  // nullopt: no document ready
    void Navigate(const std::u16string& url, const inet::WaitCallback&) override
    {
        m_log.push_back("navigate " + u8(url));
    }
    std::u16string DocumentBodyInnerText() override
    {
        m_log.push_back("innertext");
        if (!bodyText)
            throw runtime::RuntimeError(91);
        return *bodyText;
    }

private:
    Log& m_log;
};

// A release's small files from a map of URLs; a URL not in it cannot be read.
class FakeReleaseFileReader : public ReleaseFileReader {
public:
    explicit FakeReleaseFileReader(Log& log) : m_log(log) {}
    std::map<std::string, std::string> files;
    std::optional<std::string> read(const std::u16string& url, const inet::WaitCallback&) override
    {
        m_log.push_back("read " + u8(url));
        const auto found = files.find(u8(url));
        return found == files.end() ? std::nullopt : std::optional<std::string>(found->second);
    }

private:
    Log& m_log;
};

// Stands in for ctlIFile behind its dispatch identifiers: logs puts and calls, and runs the
// test's script when StartDownload is called.
class FakeDownloadControl : public controls::Dispatch {
public:
    explicit FakeDownloadControl(Log& log) : m_log(log) {}
    std::int32_t fileSize = -1;
    std::string validator;  // ResumeValidator, as a download left it
    std::string url;        // the last one put
    std::function<void()> onStartDownload;
    std::function<void()> onResumeDownload;
    std::function<void()> onRequestInformation;

    runtime::Variant invoke(controls::DispId id, controls::InvokeKind kind, std::span<runtime::Variant> args) override
    {
        namespace d = internet_file::dispid;
        static const std::map<controls::DispId, std::string> names = {{d::Url, "Url"},
                                                                      {d::Port, "Port"},
                                                                      {d::ConnectType, "ConnectType"},
                                                                      {d::LocalFile, "LocalFile"},
                                                                      {d::FileSize, "FileSize"},
                                                                      {d::StartDownload, "StartDownload"},
                                                                      {d::ResumeDownload, "ResumeDownload"},
                                                                      {d::ResumeValidator, "ResumeValidator"},
                                                                      {d::CancelDownload, "CancelDownload"},
                                                                      {d::RequestInformation, "RequestInformation"}};
        const std::string name = names.count(id) ? names.at(id) : std::to_string(id);
        if (kind == controls::InvokeKind::PropertyGet) {
            if (id == d::FileSize)
                return fileSize;
            if (id == d::ResumeValidator)
                return runtime::fromUtf8(validator);
            return {};
        }
        if (kind == controls::InvokeKind::PropertyPut) {
            if (id == d::Url)
                url = u8(runtime::toText(args[0]));
            m_log.push_back("put " + name + " " + u8(runtime::toText(args[0])));
            return {};
        }
        m_log.push_back("call " + name);
        if (id == d::StartDownload && onStartDownload)
            onStartDownload();
        if (id == d::ResumeDownload && onResumeDownload)
            onResumeDownload();
        if (id == d::RequestInformation && onRequestInformation)
            onRequestInformation();
        return {};
    }

private:
    Log& m_log;
};
