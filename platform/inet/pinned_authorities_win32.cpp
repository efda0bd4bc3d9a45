// Windows' sockets go before the rest of its headers, which would declare the old ones.
#include <winsock2.h>
#include <ws2tcpip.h>

#include "platform/inet/pinned_authorities_win32.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <optional>
#include <vector>

namespace inet {

namespace {

// The address a host names, as a certificate holds it (4 bytes for IPv4, 16 for IPv6, bracketed
// or not); nullopt for a name.
std::optional<std::vector<BYTE>> ipAddress(const std::string& host)
{
    unsigned parts[4] = {};
    char end = 0;
    if (std::sscanf(host.c_str(), "%u.%u.%u.%u%c", &parts[0], &parts[1], &parts[2], &parts[3], &end) == 4) {
        if (std::any_of(std::begin(parts), std::end(parts), [](unsigned part) { return part > 255; }))
            return std::nullopt;
        return std::vector<BYTE>(std::begin(parts), std::end(parts));
    }
    const std::string bare =
        host.size() > 2 && host.front() == '[' && host.back() == ']' ? host.substr(1, host.size() - 2) : host;
    IN6_ADDR address{};
    if (bare.find(':') == std::string::npos || ::InetPtonA(AF_INET6, bare.c_str(), &address) != 1)
        return std::nullopt;
    return std::vector<BYTE>(address.u.Byte, address.u.Byte + sizeof address.u.Byte);
}

bool dnsMatches(const wchar_t* pattern, const std::string& host)
{
    std::string name;
    for (const wchar_t* c = pattern; *c; ++c)
        name += static_cast<char>(*c < 128 ? std::tolower(*c) : '?');
    std::string lower;
    for (const char c : host)
        lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (name.starts_with("*.")) {
        const auto dot = lower.find('.');
        return dot != std::string::npos && dot > 0 && lower.substr(dot) == name.substr(1);
    }
    return name == lower;
}

bool signedBy(PCCERT_CONTEXT subject, PCCERT_CONTEXT issuer)
{
    return ::CertCompareCertificateName(X509_ASN_ENCODING, &subject->pCertInfo->Issuer, &issuer->pCertInfo->Subject)
           && ::CryptVerifyCertificateSignatureEx(
               0, X509_ASN_ENCODING, CRYPT_VERIFY_CERT_SIGN_SUBJECT_CERT, const_cast<CERT_CONTEXT*>(subject),
               CRYPT_VERIFY_CERT_SIGN_ISSUER_CERT, const_cast<CERT_CONTEXT*>(issuer), 0, nullptr);
}

// True when the certificate may issue others: its basic constraints say it is an authority.
bool isAuthority(PCCERT_CONTEXT certificate)
{
    const CERT_INFO& info = *certificate->pCertInfo;
    const CERT_EXTENSION* extension = ::CertFindExtension(szOID_BASIC_CONSTRAINTS2, info.cExtension, info.rgExtension);
    CERT_BASIC_CONSTRAINTS2_INFO constraints{};
    DWORD size = sizeof constraints;
    return extension
           && ::CryptDecodeObjectEx(X509_ASN_ENCODING, X509_BASIC_CONSTRAINTS2, extension->Value.pbData,
                                    extension->Value.cbData, 0, nullptr, &constraints, &size)
           && constraints.fCA;
}

bool withinItsTime(PCCERT_CONTEXT certificate)
{
    return ::CertVerifyTimeValidity(nullptr, certificate->pCertInfo) == 0;
}

}  // namespace

PinnedAuthorities::PinnedAuthorities(const std::string& pem)
{
    constexpr std::string_view kBegin = "-----BEGIN CERTIFICATE-----";
    constexpr std::string_view kEnd = "-----END CERTIFICATE-----";
    for (std::size_t at = pem.find(kBegin); at != std::string::npos; at = pem.find(kBegin, at + 1)) {
        const auto end = pem.find(kEnd, at);
        if (end == std::string::npos)
            break;
        const std::string block = pem.substr(at, end + kEnd.size() - at);
        DWORD size = 0;
        if (!::CryptStringToBinaryA(block.c_str(), static_cast<DWORD>(block.size()), CRYPT_STRING_BASE64HEADER, nullptr,
                                    &size, nullptr, nullptr))
            continue;
        std::vector<BYTE> der(size);
        if (::CryptStringToBinaryA(block.c_str(), static_cast<DWORD>(block.size()), CRYPT_STRING_BASE64HEADER,
                                   der.data(), &size, nullptr, nullptr)) {
            if (PCCERT_CONTEXT certificate = ::CertCreateCertificateContext(X509_ASN_ENCODING, der.data(), size))
                m_certificates.push_back(certificate);
        }
    }
}

PinnedAuthorities::~PinnedAuthorities()
{
    for (const PCCERT_CONTEXT certificate : m_certificates)
        ::CertFreeCertificateContext(certificate);
}

bool PinnedAuthorities::trust(const CERT_CHAIN_CONTEXT& chain) const
{
    // What the pin answers for; any other fault the system found refuses the chain.
    constexpr DWORD kAnsweredByThePin = CERT_TRUST_IS_UNTRUSTED_ROOT | CERT_TRUST_IS_PARTIAL_CHAIN
                                        | CERT_TRUST_REVOCATION_STATUS_UNKNOWN | CERT_TRUST_IS_OFFLINE_REVOCATION;
    if (chain.cChain == 0 || chain.rgpChain[0]->cElement == 0 || (chain.TrustStatus.dwErrorStatus & ~kAnsweredByThePin))
        return false;
    std::vector<PCCERT_CONTEXT> sent;
    for (DWORD c = 0; c < chain.cChain; ++c) {
        for (DWORD e = 0; e < chain.rgpChain[c]->cElement; ++e)
            sent.push_back(chain.rgpChain[c]->rgpElement[e]->pCertContext);
    }
    PCCERT_CONTEXT certificate = sent.front();
    for (std::size_t link = 0; link <= sent.size(); ++link) {
        if (!withinItsTime(certificate))
            return false;
        for (const PCCERT_CONTEXT authority : m_certificates) {
            if (signedBy(certificate, authority))
                return isAuthority(authority) && withinItsTime(authority);
        }
        const auto issuer = std::find_if(sent.begin(), sent.end(), [&](PCCERT_CONTEXT candidate) {
            return candidate != certificate && signedBy(certificate, candidate);
        });
        if (issuer == sent.end() || !isAuthority(*issuer))
            return false;
        certificate = *issuer;
    }
    return false;
}

bool PinnedAuthorities::names(const CERT_CHAIN_CONTEXT& chain, const std::string& host)
{
    if (chain.cChain == 0 || chain.rgpChain[0]->cElement == 0)
        return false;
    const CERT_INFO& info = *chain.rgpChain[0]->rgpElement[0]->pCertContext->pCertInfo;
    const CERT_EXTENSION* extension = ::CertFindExtension(szOID_SUBJECT_ALT_NAME2, info.cExtension, info.rgExtension);
    if (!extension)
        return false;
    CERT_ALT_NAME_INFO* altNames = nullptr;
    DWORD size = 0;
    if (!::CryptDecodeObjectEx(X509_ASN_ENCODING, X509_ALTERNATE_NAME, extension->Value.pbData, extension->Value.cbData,
                               CRYPT_DECODE_ALLOC_FLAG, nullptr, &altNames, &size))
        return false;
    const std::optional<std::vector<BYTE>> address = ipAddress(host);
    bool named = false;
    for (DWORD i = 0; i < altNames->cAltEntry && !named; ++i) {
        const CERT_ALT_NAME_ENTRY& entry = altNames->rgAltEntry[i];
        if (entry.dwAltNameChoice == CERT_ALT_NAME_IP_ADDRESS && address)
            named = entry.IPAddress.cbData == address->size()
                    && std::equal(address->begin(), address->end(), entry.IPAddress.pbData);
        else if (entry.dwAltNameChoice == CERT_ALT_NAME_DNS_NAME && !address)
            named = dnsMatches(entry.pwszDNSName, host);
    }
    ::LocalFree(altNames);
    return named;
}

}  // namespace inet
