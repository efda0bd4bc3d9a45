#include "download/internet_file.h"
#include "platform/runtime/conversions.h"
#include "platform/runtime/runtime_error.h"
#include "platform/runtime/text.h"
#include "tests/support/fake_internet.h"
#include "tests/support/recording_site.h"

#include "tests/support/error_of.h"

#include "tests/support/printable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;
using runtime::Variant;

namespace {

constexpr char kAgent[] = "Mozilla/4.0 (compatible; MSIE 5.0; Windows NT; DigExt)";

class InternetFileEngine : public testing::Test {
protected:
    InternetFileEngine()
    {
        m_dir = fs::temp_directory_path() / ("engine_test_" + std::to_string(::getpid()));
        fs::create_directories(m_dir);
        control.setSite(&site);
        control.initNew();
        control.setUrl(u"http://host/lirvane/app.exe");
        control.setLocalFile(runtime::fromUtf8(localPath().string()));
        log.clear();
    }
    ~InternetFileEngine() override { fs::remove_all(m_dir); }

    fs::path localPath() const { return m_dir / "down.exe"; }
    std::string localContents() const
    {
        std::ifstream in(localPath(), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    void writeLocal(const std::string& text) const { std::ofstream(localPath(), std::ios::binary) << text; }

    // The log lines that are events.
    std::vector<std::string> events() const
    {
        std::vector<std::string> result;
        for (const auto& line : log) {
            if (line.rfind("Download", 0) == 0)
                result.push_back(line);
        }
        return result;
    }
    bool logged(const std::string& line) const { return std::find(log.begin(), log.end(), line) != log.end(); }

    fs::path m_dir;
    std::vector<std::string> log;
    FakeInternet internet{log};
    RecordingSite site{log};
    InternetFile control{internet, [this] { log.push_back("yield"); }};
};

TEST_F(InternetFileEngine, FirstDownloadAsksTheSizeThenCopiesChunkByChunkWithTheWindowLive)
{
    internet.resource = std::string(2100, 'x');
    control.StartDownload();
    std::vector<std::string> calls;
    std::copy_if(log.begin(), log.end(), std::back_inserter(calls),
                 [](const std::string& line) { return line != "yield"; });
    const std::vector<std::string> expected = {
        std::string("openSession 0 - 0 ") + kAgent,
        // the information request, on a connection of its own
        "connect 100 host 0 3", "openRequest HEAD /lirvane/app.exe HTTP/1.0 2147483648", "sendRequest", "queryInfo 22",
        "close 300",
        "close 200",  // the session stays for the transfer
        "openUrl 100 536870912", "queryInfo 22", "readFile 2048", "DownloadProgress 2048", "readFile 52",
        "DownloadProgress 2100", "readFile 0", "DownloadProgress 2100", "close 400", "close 100", "DownloadComplete"};
    EXPECT_EQ(calls, expected);
    // The window's events are processed before each read, which may wait on the network, and
    // after each progress event, where a cancel is pressed.
    for (std::size_t i = 1; i + 1 < log.size(); ++i) {
        if (log[i].rfind("readFile", 0) == 0) {
            EXPECT_EQ(log[i - 1], "yield") << "before " << log[i];
        }
        if (log[i].rfind("DownloadProgress", 0) == 0) {
            EXPECT_EQ(log[i + 1], "yield") << "after " << log[i];
        }
    }
    EXPECT_EQ(control.sessionHandle(), 0u);
    EXPECT_TRUE(internet.open.empty());
}

TEST_F(InternetFileEngine, FiveThousandBytesGiveFourProgressTotalsThenComplete)
{
    control.StartDownload();
    const std::vector<std::string> expected = {"DownloadProgress 2048", "DownloadProgress 4096",
                                               "DownloadProgress 5000", "DownloadProgress 5000", "DownloadComplete"};
    EXPECT_EQ(events(), expected);
    EXPECT_EQ(localContents(), internet.resource);
    EXPECT_EQ(control.FileSize(), 5000);
    EXPECT_EQ(control.FileExists(), runtime::True);
    EXPECT_EQ(control.LastModified(), u"Not Available");
}

TEST_F(InternetFileEngine, EmptyResourceCreatesTheFileAndCompletes)
{
    internet.resource.clear();
    control.StartDownload();
    const std::vector<std::string> expected = {"DownloadProgress 0", "DownloadComplete"};
    EXPECT_EQ(events(), expected);
    EXPECT_TRUE(fs::exists(localPath()));
    EXPECT_EQ(fs::file_size(localPath()), 0u);
}

TEST_F(InternetFileEngine, CancelFromAProgressHandlerStopsAfterThatChunk)
{
    site.onEvent = [&](const controls::EventInfo& event, std::span<Variant>) {
        if (event.number == internet_file::event::DownloadProgress.number)
            control.CancelDownload();
    };
    control.StartDownload();
    const std::vector<std::string> expected = {"DownloadProgress 2048", "DownloadCancelled 2048"};
    EXPECT_EQ(events(), expected);
    EXPECT_EQ(localContents(), std::string(2048, 'r'));
    EXPECT_EQ(control.sessionHandle(), 0u);
    EXPECT_TRUE(internet.open.empty());
    // The handles were still open while the cancel handlers ran.
    const auto cancelled = std::find(log.begin(), log.end(), "DownloadCancelled 2048");
    EXPECT_EQ(std::find(log.begin(), cancelled, "close 400"), cancelled);
}

TEST_F(InternetFileEngine, CancelDuringTheFinalProgressEventWinsOverComplete)
{
    site.onEvent = [&](const controls::EventInfo& event, std::span<Variant> args) {
        if (event.number == internet_file::event::DownloadProgress.number && logged("readFile 0")
            && runtime::toLong(args[0]) == 5000)
            control.CancelDownload();
    };
    control.StartDownload();
    EXPECT_EQ(events().back(), "DownloadCancelled 5000");
    EXPECT_FALSE(logged("DownloadComplete"));
    EXPECT_EQ(localContents(), internet.resource);
}

TEST_F(InternetFileEngine, CancelBeforeStartIsDiscarded)
{
    control.CancelDownload();
    control.StartDownload();
    EXPECT_EQ(events().back(), "DownloadComplete");
}

TEST_F(InternetFileEngine, ResumeContinuesAfterTheBytesHeld)
{
    internet.resource = std::string(3000, 'a') + std::string(2000, 'b');
    writeLocal(std::string(3000, 'a'));
    control.ResumeDownload();
    EXPECT_TRUE(logged("setFilePointer 3000 1"));
    const std::vector<std::string> expected = {"DownloadProgress 5000", "DownloadProgress 5000", "DownloadComplete"};
    EXPECT_EQ(events(), expected);
    EXPECT_EQ(localContents(), internet.resource);
}

TEST_F(InternetFileEngine, ResumeWithoutALocalFileIsAFullDownload)
{
    control.ResumeDownload();
    EXPECT_FALSE(logged("setFilePointer 0 1"));
    EXPECT_EQ(localContents(), internet.resource);
}

TEST_F(InternetFileEngine, StartAfterResumeBeginsAtZeroAgainAndCutsTheOldTail)
{
    writeLocal(std::string(3000, 'a'));
    control.ResumeDownload();
    log.clear();
    internet.resource = "short";
    control.StartDownload();
    EXPECT_EQ(std::count_if(log.begin(), log.end(), [](const auto& l) { return l.rfind("setFilePointer", 0) == 0; }),
              0);
    EXPECT_EQ(localContents(), "short");
}

TEST_F(InternetFileEngine, HeadRequestOnlyBeforeTheFirstDownload)
{
    control.StartDownload();
    log.clear();
    internet.rawHeaders = std::string("HTTP/1.1 200 OK\r\nContent-Length: 7\r\n\r\n");
    control.setUrl(u"http://other/b.exe");
    control.StartDownload();
    EXPECT_FALSE(logged("sendRequest"));
    EXPECT_EQ(control.FileSize(), 5000);  // still the first resource's
}

TEST_F(InternetFileEngine, ReadFailureKeepsThePartialBytesAndClosesEverything)
{
    internet.failReadAt = 4097;
    control.StartDownload();
    const std::vector<std::string> expected = {"DownloadProgress 2048", "DownloadProgress 4096",
                                               "DownloadError Could not read Url"};
    EXPECT_EQ(events(), expected);
    EXPECT_EQ(localContents().size(), 4096u);
    EXPECT_EQ(control.sessionHandle(), 0u);
    EXPECT_TRUE(internet.open.empty());
}

TEST_F(InternetFileEngine, UnopenableUrlLeavesTheSessionAndTouchesNoFile)
{
    internet.urlHandle = 0;
    control.StartDownload();
    EXPECT_EQ(events(), std::vector<std::string>{"DownloadError Could not find Url"});
    EXPECT_FALSE(fs::exists(localPath()));
    EXPECT_EQ(control.sessionHandle(), 100u);
}

TEST_F(InternetFileEngine, RefusedMoveClosesTheSessionAndTouchesNoFile)
{
    internet.refuseMove = true;
    writeLocal("held");
    control.ResumeDownload();
    EXPECT_EQ(events(), std::vector<std::string>{"DownloadError Error, while setting position"});
    EXPECT_EQ(localContents(), "held");
    EXPECT_EQ(control.sessionHandle(), 0u);
    EXPECT_TRUE(internet.open.empty());
}

TEST_F(InternetFileEngine, RunningTotalBeyond32BitsRaisesOverflowAndReleasesEverything)
{
    site.onEvent = [&](const controls::EventInfo& event, std::span<Variant> args) {
        if (event.number == internet_file::event::DownloadProgress.number)
            args[0] = std::int32_t{2147483647 - 100};  // by reference: the engine counts on from here
    };
    EXPECT_EQ(errorOf([&] { control.StartDownload(); }), 6);
    EXPECT_EQ(events(), std::vector<std::string>{"DownloadProgress 2048"});
    EXPECT_TRUE(internet.open.empty());
    EXPECT_EQ(control.sessionHandle(), 0u);

    log.clear();
    control.ResumeDownload();  // swallows the same error
    EXPECT_FALSE(logged("DownloadComplete"));
}

TEST_F(InternetFileEngine, LocalFileErrorsReachStartDownloadOnly)
{
    control.setLocalFile(runtime::fromUtf8((m_dir / "missing" / "x.exe").string()));
    EXPECT_EQ(errorOf([&] { control.StartDownload(); }), runtime::error::kPathNotFound);
    EXPECT_TRUE(events().empty());
    EXPECT_TRUE(internet.open.empty());
    EXPECT_EQ(errorOf([&] { control.ResumeDownload(); }), 0);
}

TEST_F(InternetFileEngine, ConnectTypeSelectsTheSession)
{
    control.setConnectType(1);
    control.StartDownload();
    EXPECT_EQ(internet.lastProxy, ":8080");
    EXPECT_TRUE(logged(std::string("openSession 3 :8080 0 ") + kAgent));

    InternetFile direct(internet, [] {});
    direct.initNew();
    direct.setConnectType(2);
    direct.setLocalFile(runtime::fromUtf8(localPath().string()));
    log.clear();
    direct.StartDownload();
    EXPECT_TRUE(logged(std::string("openSession 1 - 0 ") + kAgent));

    InternetFile none(internet, [] {});
    none.initNew();
    none.setSite(&site);
    none.setConnectType(3);
    log.clear();
    none.StartDownload();
    EXPECT_EQ(std::count_if(log.begin(), log.end(), [](const auto& l) { return l.rfind("openSession", 0) == 0; }), 0);
    EXPECT_EQ(events(), std::vector<std::string>{"DownloadError Could not find Url"});
}

TEST_F(InternetFileEngine, CredentialsGoOnlyWithAUserName)
{
    control.setSitePassword(u"secret");
    control.RequestInformation();
    EXPECT_FALSE(internet.lastUser.has_value());
    EXPECT_FALSE(internet.lastPassword.has_value());

    control.setSiteUser(u"user");
    control.setSitePassword(u"");
    control.RequestInformation();
    EXPECT_EQ(internet.lastUser, "user");
    EXPECT_EQ(internet.lastPassword, "");
}

struct HeaderCase {
    std::string headers;
    bool exists;
    int size;
    std::u16string modified;
};

void PrintTo(const HeaderCase& c, std::ostream* out)
{
    *out << printable(c.headers);
}

class InformationRequest : public InternetFileEngine, public testing::WithParamInterface<HeaderCase> {};

TEST_P(InformationRequest, ParsesTheRawHeaders)
{
    internet.rawHeaders = GetParam().headers;
    control.RequestInformation();
    EXPECT_EQ(control.FileExists(), runtime::Bool16(GetParam().exists));
    EXPECT_EQ(control.FileSize(), GetParam().size);
    EXPECT_EQ(control.LastModified(), GetParam().modified);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Table, InformationRequest, testing::Values(
    HeaderCase{"HTTP/1.1 404 File Not Found\r\nContent-Length: 10\r\n\r\n", false, 10, u"Not Available"},
    HeaderCase{"HTTP/1.1 404 Not Found\r\n\r\n", true, -1, u"Not Available"},
    HeaderCase{"HTTP/1.0 404 File Not Found\r\n\r\n", true, -1, u"Not Available"},
    HeaderCase{"HTTP/1.1 200 OK\r\nCONTENT-LENGTH: 123\r\n\r\n", true, 123, u"Not Available"},
    HeaderCase{"HTTP/1.1 200 OK\r\nContent-Length:123\r\n\r\n", true, -1, u"Not Available"},
    HeaderCase{"HTTP/1.1 200 OK\r\nContent-Length:  77 \r\n\r\n", true, 77, u"Not Available"},
    HeaderCase{"HTTP/1.1 200 OK\r\nLast-Modified: Tue, 01 Dec 2026 10:00:00 GMT\r\n\r\n", true, -1,
               u"Tue, 01 Dec 2026 10:00:00 GMT"},
    HeaderCase{"HTTP/1.1 200 OK\r\nX-Last-Modified: early\r\nLast-Modified: late\r\n\r\n", true, -1, u"early"}));
// clang-format on

TEST_F(InternetFileEngine, HeaderBlockOverflowingTheBufferFallsBackToTheStatusCode)
{
    internet.rawHeaders = "HTTP/1.1 200 OK\r\nX-Big: " + std::string(1100, 'b') + "\r\nContent-Length: 5\r\n\r\n";
    internet.statusCode = "200";
    control.RequestInformation();
    EXPECT_EQ(control.FileExists(), runtime::True);
    EXPECT_EQ(control.FileSize(), -1);
    EXPECT_EQ(control.LastModified(), u"Not Available");

    internet.statusCode = "404";
    control.RequestInformation();
    EXPECT_EQ(control.FileExists(), runtime::False);

    internet.statusCode.reset();
    internet.rawHeaders.reset();  // no answer at all
    control.RequestInformation();
    EXPECT_EQ(control.FileExists(), runtime::False);
}

TEST_F(InternetFileEngine, ContentLengthThatIsNoNumberRaisesAfterLastModified)
{
    internet.rawHeaders = "HTTP/1.1 200 OK\r\nLast-Modified: then\r\nContent-Length: lots\r\n\r\n";
    EXPECT_EQ(errorOf([&] { control.RequestInformation(); }), 13);
    EXPECT_EQ(control.LastModified(), u"then");
    EXPECT_EQ(control.FileSize(), 0);
    EXPECT_TRUE(logged("close 300"));
    EXPECT_TRUE(logged("close 200"));

    internet.rawHeaders = "HTTP/1.1 200 OK\r\nContent-Length: 2147483648\r\n\r\n";
    EXPECT_EQ(errorOf([&] { control.RequestInformation(); }), 6);

    // Through a first download the error reaches StartDownload, before any event.
    InternetFile fresh(internet, [] {});
    fresh.setSite(&site);
    fresh.setUrl(u"http://host/a.exe");
    fresh.setLocalFile(runtime::fromUtf8(localPath().string()));
    log.clear();
    EXPECT_EQ(errorOf([&] { fresh.StartDownload(); }), 6);
    EXPECT_TRUE(events().empty());
    EXPECT_FALSE(fs::exists(localPath()));
}

TEST_F(InternetFileEngine, DirectRequestClosesTheSessionOnlyAfterADownload)
{
    control.RequestInformation();
    EXPECT_EQ(control.sessionHandle(), 100u);
    control.StartDownload();
    control.RequestInformation();
    EXPECT_EQ(control.sessionHandle(), 0u);
    EXPECT_TRUE(internet.open.empty());
}

TEST_F(InternetFileEngine, FailedFirstRequestIsNotRepeatedAndKeepsTheValues)
{
    internet.connectionHandle = 0;
    control.StartDownload();
    EXPECT_EQ(control.FileSize(), 0);
    log.clear();
    internet.connectionHandle = 200;
    control.StartDownload();
    EXPECT_FALSE(logged("sendRequest"));
}

TEST_F(InternetFileEngine, SessionIsReleasedWithTheControl)
{
    {
        InternetFile owner(internet, [] {});
        owner.RequestInformation();
        EXPECT_EQ(internet.open.count(100), 1u);
    }
    EXPECT_TRUE(internet.open.empty());
}

}  // namespace
