#include "platform/inet/curl_internet.h"
#include "tests/support/nginx_server.h"
#include "tests/support/updater_fakes.h"
#include "updater/frmGuncel.h"

#include <QTest>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr char kOldProgram[] = "#!/bin/sh\necho old\n";
// The new version tells the test that it was started by writing into a FIFO beside itself.
constexpr char kNewProgram[] = "#!/bin/sh\necho started > \"$(dirname \"$0\")/started.fifo\"\n";

void write(const fs::path& path, const std::string& content)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
}

std::string read(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Waits (on the FIFO, not on a clock) for the started program's line.
std::string waitForLine(const fs::path& fifo)
{
    const int fd = ::open(fifo.c_str(), O_RDWR | O_NONBLOCK);
    pollfd wait{fd, POLLIN, 0};
    std::string line;
    if (fd >= 0 && ::poll(&wait, 1, 30'000) == 1) {
        char buffer[64];
        const auto got = ::read(fd, buffer, sizeof buffer);
        if (got > 0)
            line.assign(buffer, static_cast<std::size_t>(got));
    }
    if (fd >= 0)
        ::close(fd);
    return line;
}

TEST(UpdateEndToEnd, OneClickReplacesAndRestartsTheApplication)
{
    const fs::path base = fs::temp_directory_path() / ("e2e " + std::to_string(::getpid()));
    const fs::path app = base / "Uygulama Klasörü Şimdi";
    const fs::path server = base / "sunucu";
    write(app / "VelkoraLirvane.exe", kOldProgram);
    fs::permissions(app / "VelkoraLirvane.exe", fs::perms::owner_all);
    ASSERT_EQ(::mkfifo((app / "started.fifo").c_str(), 0600), 0);
    write(server / "lirvane" / "lirvanesurumPlus2.txt", "2.0\n");
    write(server / "lirvane" / "lirvanedosyaPlus2.txt", "VelkoraLirvane_new.exe\n");
    write(server / "lirvane" / "VelkoraLirvane_new.exe", kNewProgram);
    NginxServer nginx(server);

    Log log;
    inet::CurlInternet internet;
    RecordingBoxes boxes(log);  // answers each box at once
    shell::PosixShell shell;
    CurlInet1 inet1;
    HtmlBrowser browser;
    bool ended = false;
    frmGuncel window(UpdaterServices{internet, boxes, shell, inet1, browser, [&] { ended = true; },
                                     runtime::fromUtf8(app.string()), runtime::fromUtf8(nginx.host()),
                                     u"www.example"});
    window.show();

    QTest::mouseClick(window.basla, Qt::LeftButton);

    EXPECT_TRUE(ended);
    EXPECT_EQ(log, Log{"box information [Velkora] Güncelleştirme İşlemi Tamamlandı. Programınız Şimdi Yeniden "
                       "Başlatılacak."});
    EXPECT_EQ(read(app / "VelkoraLirvane.exe"), kNewProgram);
    EXPECT_EQ(read(app / "VelkoraLirvane_old.exe"), kOldProgram);
    EXPECT_FALSE(fs::exists(app / "VelkoraLirvane_down.exe"));
    EXPECT_EQ(window.bar1->panelText(1), QStringLiteral("Güncelleme başarıyla tamamlandı"));
    EXPECT_EQ(window.pbar->caption(), QStringLiteral("%100"));
    EXPECT_EQ(waitForLine(app / "started.fifo"), "started\n");

    fs::remove_all(base);
}

}  // namespace
