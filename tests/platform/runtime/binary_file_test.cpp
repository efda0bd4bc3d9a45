#include "platform/runtime/binary_file.h"
#include "platform/runtime/runtime_error.h"
#include "platform/runtime/text.h"

#include "tests/support/error_of.h"
#include "tests/support/programs.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace runtime;
namespace fs = std::filesystem;

namespace {

class BinaryFileTest : public testing::Test {
protected:
    void SetUp() override
    {
        m_dir = fs::temp_directory_path() / ("binary_file_test_" + std::to_string(::getpid()));
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }

    std::u16string path(const std::string& name) const { return fromUtf8((m_dir / name).string()); }
    static std::string contents(const std::u16string& file)
    {
        std::ifstream in(nativePath(file), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    static std::span<const std::byte> bytes(std::string_view text)
    {
        return std::as_bytes(std::span(text.data(), text.size()));
    }

    fs::path m_dir;
};

TEST_F(BinaryFileTest, KeepsExistingBytesAndWritesAtThePosition)
{
    const auto file = path("a.bin");
    {
        BinaryFile out(file);
        out.write(bytes("hello world"));
        out.close();
    }
    BinaryFile out(file);
    out.seek(6);
    out.write(bytes("there"));
    out.close();
    EXPECT_EQ(contents(file), "hello there");
    EXPECT_EQ(fileLength(file), 11);
}

TEST_F(BinaryFileTest, TruncateCutsAtTheWritePosition)
{
    const auto file = path("b.bin");
    {
        BinaryFile out(file);
        out.write(bytes("a long old file"));
        out.close();
    }
    BinaryFile out(file);
    out.truncateHere();
    out.write(bytes("new"));
    out.close();
    EXPECT_EQ(contents(file), "new");
}

TEST_F(BinaryFileTest, AFileNamedWithItsBackslashIsJoinedAsTheSystemJoins)
{
    // On POSIX a backslash is a letter of the folder's name, and stays one.
    const fs::path folder = m_dir / (test_programs::onWindows() ? "Uygulama Klasörü" : "Uygulama\\Klasörü");
    fs::create_directories(folder);
    BinaryFile out(inFolder(folder.u16string(), u"\\c.bin"));
    out.write(bytes("x"));
    out.close();
    EXPECT_TRUE(fs::exists(folder / "c.bin"));
}

TEST_F(BinaryFileTest, FailuresAreTheRuntimeFileErrors)
{
    EXPECT_EQ(errorOf([&] { BinaryFile out(path("missing/x.bin")); }), error::kPathNotFound);
    EXPECT_EQ(errorOf([&] { BinaryFile out(u""); }), error::kPathFileAccessError);
    EXPECT_EQ(errorOf([&] { BinaryFile out(fromUtf8(m_dir.string())); }), error::kPathFileAccessError);
    EXPECT_EQ(errorOf([&] { fileLength(path("none.bin")); }), error::kFileNotFound);
    if (fs::exists("/dev/full")) {
        EXPECT_EQ(errorOf([] {
                      BinaryFile out(u"/dev/full");
                      out.write(std::as_bytes(std::span("x", 1)));
                      out.close();
                  }),
                  error::kDiskFull);
    }
}

}  // namespace
