#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <string>
#include <vector>

namespace inet {

// The authorities an HTTPS server must chain to, pinned in place of the system's store: the
// certificates of a PEM text, owned. WinINet's own checks are told to ignore an unknown
// authority; these stand in for them, and nothing else of the chain's checks is waived.
class PinnedAuthorities {
public:
    // The certificates of the PEM text; blocks that do not read are passed over.
    explicit PinnedAuthorities(const std::string& pem);
    ~PinnedAuthorities();
    PinnedAuthorities(const PinnedAuthorities&) = delete;
    PinnedAuthorities& operator=(const PinnedAuthorities&) = delete;

    bool empty() const { return m_certificates.empty(); }

    // True when the server's certificate chains to one of the authorities, through the
    // certificates the server sent: each link's signature checked with its issuer's key, every
    // issuer (the authority too) an authority (basic constraints CA:TRUE), every certificate
    // within its time; and the system found no fault in the chain but those the pin answers
    // (an untrusted or missing root, an unknown or offline revocation).
    bool trust(const CERT_CHAIN_CONTEXT& chain) const;

    // True when the server's certificate names `host`: a DNS name of its subject alternative
    // names (a leading "*." standing for one label), or its IP address.
    static bool names(const CERT_CHAIN_CONTEXT& chain, const std::string& host);

private:
    std::vector<PCCERT_CONTEXT> m_certificates;
};

}  // namespace inet
