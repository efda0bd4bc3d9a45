#include "tests/support/programs.h"
#include "updater/delta.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

std::string read(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Two releases of a program a few bytes apart, and their forms as zstd makes them for
// publish-update (on the machine the tests run on).
class DeltaTest : public testing::Test {
protected:
    DeltaTest()
    {
        fs::create_directories(m_folder);
        for (std::size_t i = 0; i < oldProgram.size(); ++i)
            oldProgram[i] = static_cast<char>((i * 7919) % 251);
        newProgram = oldProgram;
        newProgram.replace(1000, 5, "2.0.1");
        newProgram += "and a new tail";
        std::ofstream(m_folder / "old", std::ios::binary) << oldProgram;
        std::ofstream(m_folder / "new", std::ios::binary) << newProgram;
        const auto path = [&](const char* name) { return "'" + test_programs::hostPath(m_folder / name) + "'"; };
        EXPECT_EQ(test_programs::runOnHost("zstd -q -19 -f --patch-from=" + path("old") + " " + path("new") + " -o "
                                           + path("patch") + " 2>/dev/null && zstd -q -19 -f " + path("new") + " -o "
                                           + path("whole")),
                  0);
        patch = read(m_folder / "patch");
        compressed = read(m_folder / "whole");
    }
    ~DeltaTest() override { test_programs::removeFolder(m_folder); }

    fs::path m_folder = test_programs::testFolder(u"Yama");
    std::string oldProgram = std::string(300'000, '\0');
    std::string newProgram;
    std::string patch;
    std::string compressed;
};

TEST_F(DeltaTest, APatchRebuildsTheNewProgramFromTheOldOneAlone)
{
    const std::uint64_t cap = delta::maxRebuiltSize(oldProgram.size());
    EXPECT_LT(patch.size(), newProgram.size() / 100);
    EXPECT_TRUE(delta::decode(patch, oldProgram, cap) == newProgram);
    EXPECT_TRUE(delta::decode(compressed, std::nullopt, cap) == newProgram);

    const std::string otherSource(oldProgram.rbegin(), oldProgram.rend());
    std::string damaged = patch;
    damaged[damaged.size() / 2] ^= 0x55;
    const std::pair<const char*, std::optional<std::string>> refused[] = {
        {"another source", delta::decode(patch, otherSource, cap)},
        {"no source", delta::decode(patch, std::nullopt, cap)},
        {"a damaged patch", delta::decode(damaged, oldProgram, cap)},
        {"a cut patch", delta::decode(patch.substr(0, patch.size() - 3), oldProgram, cap)},
        {"bytes after the frame", delta::decode(patch + "x", oldProgram, cap)},
        {"a program beyond the cap", delta::decode(patch, oldProgram, newProgram.size() - 1)},
        {"no frame at all", delta::decode("not zstd", oldProgram, cap)},
    };
    for (const auto& [name, result] : refused)
        EXPECT_FALSE(result.has_value()) << name;
}

TEST(Delta, TheIndexNamesTheFormsAndNothingElse)
{
    const std::string hash(64, 'a');
    const auto index = delta::parseIndex("zst\r\npatch " + hash + "\nsomething to come\n");
    ASSERT_TRUE(index);
    EXPECT_TRUE(index->compressed);
    EXPECT_EQ(index->patchSources, std::set<std::string>{hash});
    EXPECT_FALSE(delta::parseIndex("patch " + hash.substr(1)));
    EXPECT_FALSE(delta::parseIndex("patch " + std::string(64, 'A')));
    EXPECT_EQ(delta::patchUrl(u"http://h/lirvane/V.exe", hash),
              u"http://h/lirvane/V.exe.from-" + std::u16string(64, u'a') + u".zst");
}

}  // namespace
