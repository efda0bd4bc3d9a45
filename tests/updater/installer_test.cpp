#include "tests/support/minisign.h"
#include "tests/support/printable.h"
#include "tests/support/programs.h"
#include "tests/support/updater_fakes.h"
#include "updater/installer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

namespace fs = std::filesystem;

namespace {

using test_programs::realProgram;
using test_programs::wholeProgram;

const std::string kNewProgram = wholeProgram("new");
const std::string kOldProgram = wholeProgram("old");
constexpr fs::perms kProgramPerms = fs::perms::owner_all | fs::perms::group_read | fs::perms::others_read;

class InstallerTest : public testing::Test {
protected:
    InstallerTest()
    {
        fs::create_directories(m_folder);
        write("VelkoraLirvane.exe", kOldProgram, kProgramPerms);
        write("VelkoraLirvane_down.exe", kNewProgram);
    }
    ~InstallerTest() override { fs::remove_all(m_folder); }

    void write(const std::string& name, const std::string& content,
               fs::perms perms = fs::perms::owner_read | fs::perms::owner_write)
    {
        std::ofstream(m_folder / name, std::ios::binary) << content;
        if (test_programs::filesHavePermissions())
            fs::permissions(m_folder / name, perms);
    }
    std::string read(const fs::path& name) const
    {
        std::ifstream in(m_folder / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    // The folder's files, so that a test sees that no stage was left behind.
    std::set<std::string> files() const
    {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(m_folder))
            names.insert(runtime::toUtf8(entry.path().filename().u16string()));
        return names;
    }
    Candidate candidate(std::int32_t size = static_cast<std::int32_t>(kNewProgram.size())) const
    {
        return {size, u"VelkoraLirvane_2.0.exe", u"http://updates.example/lirvane/VelkoraLirvane_2.0.exe.minisig"};
    }
    // What the update procedure does once the box has been answered.
    static void prepareAndInstall(Installer& installer)
    {
        installer.prepareInstall();
        installer.install();
    }
    Installer makeInstaller(std::optional<signature::PublicKey> key = std::nullopt)
    {
        return Installer(shell, releaseFiles, m_folder.u16string(), key, 0);
    }

    fs::path m_folder = test_programs::testFolder(u"Kurulum Klasörü");
    Log log;
    RecordingShell shell{log};
    FakeReleaseFileReader releaseFiles{log};
};

TEST_F(InstallerTest, BacksUpThenSwapsWithTheProgramsPermissions)
{
    write("VelkoraLirvane_old.exe", "previous backup", fs::perms::owner_read);
    Installer installer = makeInstaller();
    ASSERT_EQ(installer.check(candidate(), {}), Installer::Verdict::Accepted);
    installer.prepareInstall();
    EXPECT_EQ(read("VelkoraLirvane.exe"), kOldProgram);  // checked and prepared, not yet touched
    EXPECT_EQ(read("VelkoraLirvane_old.exe"), "previous backup");
    installer.install();
    EXPECT_EQ(log, (Log{"stage VelkoraLirvane.exe", "stage VelkoraLirvane_old.exe", "commit VelkoraLirvane_old.exe",
                        "commit VelkoraLirvane.exe"}));
    EXPECT_EQ(read("VelkoraLirvane.exe"), kNewProgram);
    EXPECT_EQ(read("VelkoraLirvane_old.exe"), kOldProgram);
    if (test_programs::filesHavePermissions()) {
        EXPECT_EQ(fs::status(m_folder / "VelkoraLirvane.exe").permissions(), kProgramPerms);
        EXPECT_EQ(fs::status(m_folder / "VelkoraLirvane_old.exe").permissions(), kProgramPerms);
    }
    installer.removeDownload();
    EXPECT_EQ(files(), (std::set<std::string>{"VelkoraLirvane.exe", "VelkoraLirvane_old.exe"}));
}

TEST_F(InstallerTest, TheSameProgramAgainKeepsTheBackupOfTheOneBefore)
{
    for (int update = 0; update < 2; ++update) {
        Installer installer = makeInstaller();
        ASSERT_EQ(installer.check(candidate(), {}), Installer::Verdict::Accepted);
        prepareAndInstall(installer);
    }
    EXPECT_EQ(read("VelkoraLirvane_old.exe"), kOldProgram);
    EXPECT_EQ(read("VelkoraLirvane.exe"), kNewProgram);
}

TEST_F(InstallerTest, WhatWasCheckedIsWhatIsInstalled)
{
    Installer installer = makeInstaller();
    ASSERT_EQ(installer.check(candidate(), {}), Installer::Verdict::Accepted);
    // Another writer rewrites the download between the check and the swap.
    write("VelkoraLirvane_down.exe", kOldProgram.substr(0, 10));
    prepareAndInstall(installer);
    EXPECT_EQ(read("VelkoraLirvane.exe"), kNewProgram);
}

TEST_F(InstallerTest, ALengthOfZeroAnnouncesNothing)
{
    Installer installer = makeInstaller();
    EXPECT_EQ(installer.check(candidate(0), {}), Installer::Verdict::Accepted);
}

struct NotAProgram {
    std::string download;
    std::int32_t announcedSize;
};

void PrintTo(const NotAProgram& c, std::ostream* out)
{
    *out << printable(c.download) << " of " << c.download.size() << " bytes, size " << c.announcedSize;
}

class NotAProgramTest : public InstallerTest, public testing::WithParamInterface<NotAProgram> {};

TEST_P(NotAProgramTest, IsNeverStagedForInstalling)
{
    write("VelkoraLirvane_down.exe", GetParam().download);
    Installer installer = makeInstaller();
    EXPECT_EQ(installer.check(candidate(GetParam().announcedSize), {}), Installer::Verdict::NotAProgram);
    EXPECT_THROW(installer.install(), runtime::RuntimeError);
    EXPECT_EQ(read("VelkoraLirvane.exe"), kOldProgram);
    EXPECT_EQ(files(), (std::set<std::string>{"VelkoraLirvane.exe", "VelkoraLirvane_down.exe"}));
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Table, NotAProgramTest, testing::Values(
    NotAProgram{"", -1},
    NotAProgram{"<html><body>404 File Not Found</body></html>", -1},
    NotAProgram{wholeProgram("half"), 40000},  // shorter than the size given
    NotAProgram{wholeProgram("more") + "and more", static_cast<std::int32_t>(wholeProgram("more").size())},
    NotAProgram{"\x7F" "EL", -1},
    NotAProgram{realProgram().substr(0, realProgram().size() / 100), -1},  // a connection closed early
    NotAProgram{realProgram().substr(0, realProgram().size() / 2), -1},
    NotAProgram{realProgram().substr(0, realProgram().size() - 1), -1}));
// clang-format on  // the last part cut

// Whatever stops the update before the program moves leaves the program as it was.
struct EarlyFailure {
    std::string name;
    std::function<void(const fs::path& folder, RecordingShell&)> arrange;
};

void PrintTo(const EarlyFailure& c, std::ostream* out)
{
    *out << c.name;
}

class EarlyFailureTest : public InstallerTest, public testing::WithParamInterface<EarlyFailure> {};

TEST_P(EarlyFailureTest, LeavesTheProgramAsItWas)
{
    GetParam().arrange(m_folder, shell);
    Installer installer = makeInstaller();
    EXPECT_THROW(
        {
            if (installer.check(candidate(), {}) == Installer::Verdict::Accepted)
                prepareAndInstall(installer);
        },
        runtime::RuntimeError);
    EXPECT_EQ(read("VelkoraLirvane.exe"), kOldProgram);
    for (const auto& name : files())
        EXPECT_EQ(name.find(".new-"), std::string::npos) << name;
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Table, EarlyFailureTest, testing::Values(
    EarlyFailure{"the program cannot be looked at",
                 [](const fs::path&, RecordingShell& s) { s.failOpenOf = "VelkoraLirvane.exe"; }},
    EarlyFailure{"the backup cannot be put in place",
                 [](const fs::path&, RecordingShell& s) { s.failCommitOf = "VelkoraLirvane_old.exe"; }},
    EarlyFailure{"the program cannot be put in place",
                 [](const fs::path&, RecordingShell& s) { s.failCommitOf = "VelkoraLirvane.exe"; }},
    EarlyFailure{"the backup's name is a folder",
                 [](const fs::path& f, RecordingShell&) { fs::create_directories(f / "VelkoraLirvane_old.exe" / "x"); }}));
// clang-format on

TEST_F(InstallerTest, ARunningProgramIsNotSwapped)
{
    fs::remove(m_folder / "VelkoraLirvane.exe");
    write("VelkoraLirvane_down.exe", realProgram());
    const test_programs::RunningProgram running(m_folder / "VelkoraLirvane.exe");
    Installer installer = makeInstaller();
    ASSERT_EQ(installer.check(candidate(-1), {}), Installer::Verdict::Accepted);
    EXPECT_THROW(installer.prepareInstall(), runtime::RuntimeError);
    EXPECT_EQ(files(), (std::set<std::string>{"VelkoraLirvane.exe", "VelkoraLirvane_down.exe"}));
}

TEST_F(InstallerTest, ABackupThatDoesNotFitKeepsThePreviousOneAndStopsBeforeTheSwap)
{
    const test_programs::SmallDisk disk(m_folder, "96k");
    if (!disk.mounted())
        GTEST_SKIP() << "needs root to mount a small file system";
    const std::string installed(30000, 'i');
    const std::string download = wholeProgram("new", 20000);
    write("VelkoraLirvane.exe", installed);
    write("VelkoraLirvane_old.exe", "previous backup");
    write("VelkoraLirvane_down.exe", download);

    Installer installer = makeInstaller();
    ASSERT_EQ(installer.check(candidate(static_cast<std::int32_t>(download.size())), {}), Installer::Verdict::Accepted);
    EXPECT_THROW(installer.prepareInstall(), runtime::RuntimeError);
    EXPECT_EQ(read("VelkoraLirvane_old.exe"), "previous backup");
    EXPECT_EQ(read("VelkoraLirvane.exe"), installed);
    EXPECT_EQ(files(),
              (std::set<std::string>{"VelkoraLirvane.exe", "VelkoraLirvane_down.exe", "VelkoraLirvane_old.exe"}));
}

// Signed updates: the kept signature goes before the program, so that a program in place is
// never left with the signature of the one before it; a program that does not move gets its
// own back.
TEST_F(InstallerTest, TheKeptSignatureGoesBeforeTheProgram)
{
    const fs::path keys = fs::path(m_folder.u16string() + u" keys");
    const MinisignKey vendor = MinisignKey::make(keys, "vendor");
    vendor.sign(m_folder / "VelkoraLirvane_down.exe", keys / "new.minisig", false,
                "timestamp:2000\\tfile:VelkoraLirvane_2.0.exe\\tinstall:VelkoraLirvane.exe");
    releaseFiles.files[u8(candidate().signatureUrl)] = read(keys / "new.minisig");
    const std::string before = "the signature of the program before";
    write("VelkoraLirvane.exe.minisig", before);

    for (const std::string failing : {"VelkoraLirvane.exe.minisig", "VelkoraLirvane.exe", ""}) {
        shell.failCommitOf = failing;
        Installer installer = makeInstaller(signature::parsePublicKey(vendor.publicLine()));
        ASSERT_EQ(installer.check(candidate(), {}), Installer::Verdict::Accepted);
        installer.prepareInstall();
        if (failing.empty()) {
            installer.install();
            EXPECT_EQ(read("VelkoraLirvane.exe"), kNewProgram);
            EXPECT_EQ(read("VelkoraLirvane.exe.minisig"), read(keys / "new.minisig"));
        } else {
            EXPECT_THROW(installer.install(), runtime::RuntimeError) << failing;
            EXPECT_EQ(read("VelkoraLirvane.exe"), kOldProgram) << failing;
            EXPECT_EQ(read("VelkoraLirvane.exe.minisig"), before) << failing;
        }
    }
    fs::remove_all(keys);
}

}  // namespace
