#include "platform/runtime/runtime_error.h"
#include "platform/runtime/text.h"
#include "platform/shell/shell.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

class ShellTest : public testing::Test {
protected:
    ShellTest() { fs::create_directories(m_folder); }
    ~ShellTest() override { fs::remove_all(m_folder); }

    std::u16string path(const std::string& name) const
    {
        return name.empty() ? m_folder.u16string() : (m_folder / name).u16string();
    }
    std::string read(const std::string& name) const
    {
        std::ifstream in(m_folder / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    std::size_t entries() const
    {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(m_folder), fs::directory_iterator()));
    }

    // A folder of the test's own, its name with Turkish letters and a space.
    fs::path m_folder = fs::temp_directory_path()
                        / fs::path(u"Kabuk Klasörü "
                                   + runtime::fromUtf8(testing::UnitTest::GetInstance()->current_test_info()->name()));
    std::unique_ptr<shell::Shell> shell = shell::systemShell();
};

TEST_F(ShellTest, AStageIsPutInPlaceInOneStepOrLeavesNothing)
{
    shell->writeFile(path("store.txt"), "first");
    shell->writeFile(path("store.txt"), "second");
    EXPECT_EQ(read("store.txt"), "second");
    {
        const auto stage = shell->stageText("never committed", path("store.txt"));
        EXPECT_EQ(entries(), 2u);
        EXPECT_FALSE(stage->committed());
    }
    EXPECT_EQ(entries(), 1u);
    EXPECT_EQ(read("store.txt"), "second");

    // A folder in the target's place refuses the stage before anything is written.
    fs::create_directories(m_folder / "taken" / "inside");
    EXPECT_THROW(shell->stageText("x", path("taken")), runtime::RuntimeError);
    EXPECT_EQ(entries(), 2u);
    EXPECT_EQ(shell->readFile(path("store.txt"), 100), "second");
    EXPECT_THROW(shell->readFile(path("store.txt"), 5), runtime::FileError);
    EXPECT_EQ(shell->readFile(path("missing.txt"), 100), std::nullopt);
}

TEST_F(ShellTest, OneLockAFolderAtATime)
{
    auto first = shell->lockFolder(path(""));
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(shell->lockFolder(path("")), nullptr);
    first.reset();
    EXPECT_NE(shell->lockFolder(path("")), nullptr);
}

TEST_F(ShellTest, StaleStagesGoAndNothingElse)
{
    for (const std::string name : {"a.exe.new-123", "a.exe.new-9", "a.exe.new-x", "a.exe", "b.exe.new-1"})
        std::ofstream(m_folder / name) << name;
    shell->removeStaleStages(path("a.exe"));
    EXPECT_EQ(entries(), 3u);
    EXPECT_TRUE(fs::exists(m_folder / "a.exe.new-x"));
    EXPECT_TRUE(fs::exists(m_folder / "b.exe.new-1"));
}

}  // namespace
