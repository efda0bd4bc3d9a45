// The pinned authorities on Windows against chains made by openssl for this run
// (make-test-certificates, in the folder TEST_CERTIFICATES names), as the system builds a
// server's chain from the certificates it sent: each link is checked, not only the last.
#include "platform/inet/pinned_authorities_win32.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

std::string read(const std::string& name)
{
    const char* folder = std::getenv("TEST_CERTIFICATES");
    std::ifstream in(std::filesystem::path(folder ? folder : ".") / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The chain the system builds for the first certificate of `pem`, the others given with it.
class SentChain {
public:
    explicit SentChain(const std::string& pem)
    {
        m_store = ::CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, 0, nullptr);
        PCCERT_CONTEXT leaf = nullptr;
        // The certificates of the text, into the store, the first being the server's.
        const std::string marker = "-----BEGIN CERTIFICATE-----";
        for (std::size_t at = pem.find(marker); at != std::string::npos; at = pem.find(marker, at + 1)) {
            const std::string block = pem.substr(at, pem.find("-----END CERTIFICATE-----", at) + 25 - at);
            DWORD size = 0;
            ::CryptStringToBinaryA(block.c_str(), static_cast<DWORD>(block.size()), CRYPT_STRING_BASE64HEADER, nullptr,
                                   &size, nullptr, nullptr);
            std::vector<BYTE> der(size);
            ::CryptStringToBinaryA(block.c_str(), static_cast<DWORD>(block.size()), CRYPT_STRING_BASE64HEADER,
                                   der.data(), &size, nullptr, nullptr);
            PCCERT_CONTEXT added = nullptr;
            ::CertAddEncodedCertificateToStore(m_store, X509_ASN_ENCODING, der.data(), size, CERT_STORE_ADD_ALWAYS,
                                               &added);
            if (!leaf)
                leaf = added;
            else
                ::CertFreeCertificateContext(added);
        }
        CERT_CHAIN_PARA parameters{};
        parameters.cbSize = sizeof parameters;
        if (leaf)
            ::CertGetCertificateChain(nullptr, leaf, nullptr, m_store, &parameters, 0, nullptr, &m_chain);
        ::CertFreeCertificateContext(leaf);
    }
    ~SentChain()
    {
        if (m_chain)
            ::CertFreeCertificateChain(m_chain);
        ::CertCloseStore(m_store, 0);
    }
    // nullptr when the text holds no certificate.
    const CERT_CHAIN_CONTEXT* get() const { return m_chain; }

private:
    HCERTSTORE m_store = nullptr;
    PCCERT_CHAIN_CONTEXT m_chain = nullptr;
};

struct PinCase {
    const char* chain;
    const char* pinned;
    bool trusted;
};

void PrintTo(const PinCase& c, std::ostream* out)
{
    *out << c.chain << " against " << c.pinned;
}

class PinnedAuthoritiesTest : public testing::TestWithParam<PinCase> {};

TEST_P(PinnedAuthoritiesTest, TrustOnlyAChainWhoseEveryLinkHolds)
{
    const SentChain sent(read(GetParam().chain));
    const inet::PinnedAuthorities pinned(read(GetParam().pinned));
    ASSERT_NE(sent.get(), nullptr);
    ASSERT_FALSE(pinned.empty());
    const CERT_CHAIN_CONTEXT& chain = *sent.get();
    EXPECT_EQ(pinned.trust(chain), GetParam().trusted);
    for (const char* named : {"127.0.0.1", "::1", "[::1]", "localhost"})
        EXPECT_TRUE(inet::PinnedAuthorities::names(chain, named)) << named;
    for (const char* other : {"127.0.0.2", "::2", "[::1", "otherhost"})
        EXPECT_FALSE(inet::PinnedAuthorities::names(chain, other)) << other;
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Table, PinnedAuthoritiesTest, testing::Values(
    PinCase{"server.pem", "authority.pem", true},
    PinCase{"through-intermediate.pem", "authority.pem", true},
    PinCase{"server.pem", "other-authority.pem", false},
    PinCase{"through-leaf.pem", "authority.pem", false},
    PinCase{"through-expired.pem", "authority.pem", false},
    PinCase{"through-intermediate.pem", "no-authority.pem", false}));
// clang-format on

}  // namespace
