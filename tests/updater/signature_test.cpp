#include "tests/support/minisign.h"
#include "updater/signature.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
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
        s_folder = fs::temp_directory_path()
                   / ("signature-test-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
        s_vendor = MinisignKey::make(s_folder, "vendor");
        s_other = MinisignKey::make(s_folder, "other");
    }
    static void TearDownTestSuite() { fs::remove_all(s_folder); }

    void SetUp() override { std::ofstream(program, std::ios::binary) << std::string(100'000, 'p') << "end"; }
    signature::PublicKey key() const { return *signature::parsePublicKey(s_vendor.publicLine()); }

    inline static fs::path s_folder;
    inline static MinisignKey s_vendor;
    inline static MinisignKey s_other;
    fs::path program = s_folder / "VelkoraLirvane_2.0.exe";
    fs::path minisig = s_folder / "VelkoraLirvane_2.0.exe.minisig";
};

// Reads the test's program file.
signature::ReadAt readerOf(const std::string& bytes)
{
    return [bytes](std::uint64_t offset, std::span<std::byte> into) {
        if (offset + into.size() > bytes.size())
            return false;
        std::memcpy(into.data(), bytes.data() + offset, into.size());
        return true;
    };
}

bool verifies(const std::string& text, const signature::PublicKey& key, const std::string& bytes)
{
    const auto parsed = signature::parseSignature(text);
    return parsed && signature::fileVerifies(*parsed, key, bytes.size(), readerOf(bytes));
}

TEST_F(SignatureTest, TheHashedAlgorithmVerifiesAndAnyChangeIsRefused)
{
    s_vendor.sign(program, minisig);
    const std::string text = read(minisig);
    const std::string bytes = read(program);
    const auto parsed = signature::parseSignature(text);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->field("file"), "VelkoraLirvane_2.0.exe");
    EXPECT_TRUE(parsed->timestamp());
    EXPECT_TRUE(verifies(text, key(), bytes));

    // Each line broken in turn, a byte of the file, another key.
    const std::size_t line2 = text.find('\n') + 1;
    const std::size_t line3 = text.find('\n', line2) + 1;
    const std::size_t line4 = text.find('\n', line3) + 1;
    for (const std::size_t at : {line2 + 20, line3 + 30, line4 + 10}) {
        std::string changed = text;
        changed[at] = changed[at] == 'A' ? 'B' : 'A';
        EXPECT_FALSE(verifies(changed, key(), bytes)) << "at " << at;
    }
    EXPECT_FALSE(verifies(text, key(), bytes + "!"));
    EXPECT_FALSE(verifies(text, *signature::parsePublicKey(s_other.publicLine()), bytes));

    // The algorithm bytes are signed by nothing: the whole-file algorithm is refused, both as
    // minisign writes it and as a hashed signature with its second byte flipped.
    s_vendor.sign(program, minisig, true);
    EXPECT_FALSE(signature::parseSignature(read(minisig)));
    std::string flipped = text;
    flipped.replace(line2, 2, "RW");  // "ED..." is "RUQ..." in base64, "Ed..." is "RWQ..."
    EXPECT_FALSE(signature::parseSignature(flipped));
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
    for (const std::string& bad :
         {std::string(), text + "fifth line\n", text.substr(0, line3), "untrusted: x" + text.substr(text.find('\n')),
          text.substr(0, line3) + "comment: " + text.substr(line3 + 17),
          text + std::string(signature::kMaxSignatureFileSize, '\n')})
        EXPECT_FALSE(signature::parseSignature(bad)) << bad;
    EXPECT_FALSE(signature::parsePublicKey("RWnot a key"));
    EXPECT_TRUE(signature::parsePublicKey(s_vendor.publicLine()));
}

struct RuleCase {
    std::string name;
    std::string trustedComment;
    std::uint64_t minimumTimestamp;
    std::string kept;  // the trusted comment of the kept signature; empty: none kept
    bool accepted;
};

void PrintTo(const RuleCase& c, std::ostream* out)
{
    *out << c.name;
}

class UpdateRuleTest : public SignatureTest, public testing::WithParamInterface<RuleCase> {};

TEST_P(UpdateRuleTest, TakesOnlyThisProgramNoOlderThanTheFloors)
{
    const RuleCase& c = GetParam();
    s_vendor.sign(program, minisig, false, c.trustedComment);
    const std::string candidate = read(minisig);
    std::optional<std::string> kept;
    if (!c.kept.empty()) {
        s_vendor.sign(program, minisig, false, c.kept);
        kept = read(minisig);
    }
    const std::string bytes = read(program);
    EXPECT_EQ(signature::acceptsUpdate(candidate, {key(), "VelkoraLirvane_2.0.exe", c.minimumTimestamp, kept},
                                       bytes.size(), readerOf(bytes)),
              c.accepted);
}

constexpr char kFields[] = "\\tfile:VelkoraLirvane_2.0.exe\\tinstall:VelkoraLirvane.exe";

// clang-format off
INSTANTIATE_TEST_SUITE_P(Table, UpdateRuleTest, testing::Values(
    RuleCase{"named and bound", std::string("timestamp:2000") + kFields, 0, "", true},
    RuleCase{"another file", "timestamp:2000\\tfile:VelkoraLirvane_3.0.exe\\tinstall:VelkoraLirvane.exe", 0, "", false},
    RuleCase{"no file field", "timestamp:2000\\tinstall:VelkoraLirvane.exe", 0, "", false},
    RuleCase{"no install field", "timestamp:2000\\tfile:VelkoraLirvane_2.0.exe", 0, "", false},
    RuleCase{"installed as another program", "timestamp:2000\\tfile:VelkoraLirvane_2.0.exe\\tinstall:Other.exe", 0, "",
             false},
    RuleCase{"no timestamp", std::string("file:VelkoraLirvane_2.0.exe\\tinstall:VelkoraLirvane.exe"), 0, "", false},
    RuleCase{"a timestamp beyond 64 bits", std::string("timestamp:18446744073709551616") + kFields, 0, "", false},
    RuleCase{"older than the built-in floor", std::string("timestamp:2000") + kFields, 2001, "", false},
    RuleCase{"at the built-in floor", std::string("timestamp:2000") + kFields, 2000, "", true},
    RuleCase{"older than the kept signature", std::string("timestamp:1000") + kFields, 0,
             std::string("timestamp:2000") + kFields, false},
    RuleCase{"as new as the kept signature", std::string("timestamp:2000") + kFields, 0,
             std::string("timestamp:2000") + kFields, true},
    RuleCase{"a kept signature older than the built-in floor", std::string("timestamp:1500") + kFields, 2000,
             std::string("timestamp:1000") + kFields, false}));
// clang-format on

}  // namespace
