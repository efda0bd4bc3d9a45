#include "tests/support/minisign.h"
#include "updater/signature.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>

namespace fs = std::filesystem;

namespace {

std::string read(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class SignatureTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_folder = fs::temp_directory_path() / ("signature-test-" + std::to_string(::getpid()));
        s_vendor = MinisignKey::make(s_folder, "vendor");
        s_other = MinisignKey::make(s_folder, "other");
    }
    static void TearDownTestSuite() { fs::remove_all(s_folder); }

    SignatureTest()
    {
        std::ofstream(program, std::ios::binary) << std::string(100'000, 'p') << "end";
    }
    signature::PublicKey key() const { return *signature::parsePublicKey(s_vendor.publicLine()); }

    inline static fs::path s_folder;
    inline static MinisignKey s_vendor;
    inline static MinisignKey s_other;
    fs::path program = s_folder / "VelkoraLirvane_2.0.exe";
    fs::path minisig = s_folder / "VelkoraLirvane_2.0.exe.minisig";
};

TEST_F(SignatureTest, BothAlgorithmsVerifyAndAnyChangeIsRefused)
{
    for (const bool legacy : {false, true}) {
        s_vendor.sign(program, minisig, legacy);
        const std::string text = read(minisig);
        const auto parsed = signature::parseSignature(text);
        ASSERT_TRUE(parsed);
        EXPECT_EQ(parsed->prehashed, !legacy);
        EXPECT_EQ(parsed->field("file"), "VelkoraLirvane_2.0.exe");
        EXPECT_TRUE(parsed->field("timestamp"));
        EXPECT_TRUE(signature::fileVerifies(*parsed, key(), program));

        // Each line broken in turn, a byte of the file, another key.
        const std::size_t line2 = text.find('\n') + 1;
        const std::size_t line3 = text.find('\n', line2) + 1;
        const std::size_t line4 = text.find('\n', line3) + 1;
        for (const std::size_t at : {line2 + 20, line3 + 30, line4 + 10}) {
            std::string changed = text;
            changed[at] = changed[at] == 'A' ? 'B' : 'A';
            const auto broken = signature::parseSignature(changed);
            EXPECT_FALSE(broken && signature::fileVerifies(*broken, key(), program)) << "at " << at;
        }
        std::ofstream(program, std::ios::binary | std::ios::app) << "!";
        EXPECT_FALSE(signature::fileVerifies(*parsed, key(), program));
        std::ofstream(program, std::ios::binary) << std::string(100'000, 'p') << "end";
        EXPECT_FALSE(signature::fileVerifies(*parsed, *signature::parsePublicKey(s_other.publicLine()), program));
    }
}

TEST_F(SignatureTest, OnlyTheFourLinesOfTheFormatParse)
{
    s_vendor.sign(program, minisig);
    const std::string text = read(minisig);
    std::string crlf;
    for (const char c : text)
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    EXPECT_TRUE(signature::parseSignature(crlf));
    // As minisign reads it, a line ends at its first CR.
    std::string cut = text;
    cut.insert(cut.find('\n', text.find("trusted comment: ")), "\rignored");
    ASSERT_TRUE(signature::parseSignature(cut));
    EXPECT_EQ(signature::parseSignature(cut)->trustedComment, signature::parseSignature(text)->trustedComment);
    EXPECT_TRUE(signature::parseSignature(text.substr(0, text.size() - 1)));  // no final line break
    const std::size_t line3 = text.find("trusted comment: ");
    for (const std::string& bad : {std::string(), text + "fifth line\n", text.substr(0, line3),
                                   "untrusted: x" + text.substr(text.find('\n')),
                                   text.substr(0, line3) + "comment: " + text.substr(line3 + 17),
                                   text + std::string(signature::kMaxSignatureFileSize, '\n')})
        EXPECT_FALSE(signature::parseSignature(bad)) << bad;
    EXPECT_FALSE(signature::parsePublicKey("RWnot a key"));
    EXPECT_TRUE(signature::parsePublicKey(s_vendor.publicLine()));
}

TEST_F(SignatureTest, AnUpdateNamesThisFileAndNeverGoesBack)
{
    s_vendor.sign(program, minisig, false, "timestamp:2000\\tfile:VelkoraLirvane_2.0.exe");
    const std::string newer = read(minisig);
    EXPECT_TRUE(signature::acceptsUpdate(newer, key(), program, "VelkoraLirvane_2.0.exe", std::nullopt));
    EXPECT_FALSE(signature::acceptsUpdate(newer, key(), program, "VelkoraLirvane_3.0.exe", std::nullopt));

    s_vendor.sign(program, minisig, false, "timestamp:1000\\tfile:VelkoraLirvane_2.0.exe");
    const std::string older = read(minisig);
    EXPECT_FALSE(signature::acceptsUpdate(older, key(), program, "VelkoraLirvane_2.0.exe", newer));
    EXPECT_TRUE(signature::acceptsUpdate(newer, key(), program, "VelkoraLirvane_2.0.exe", older));
    EXPECT_TRUE(signature::acceptsUpdate(newer, key(), program, "VelkoraLirvane_2.0.exe", newer));

    s_vendor.sign(program, minisig, false, "file:VelkoraLirvane_2.0.exe");
    EXPECT_FALSE(signature::acceptsUpdate(read(minisig), key(), program, "VelkoraLirvane_2.0.exe", std::nullopt));
}

}  // namespace
