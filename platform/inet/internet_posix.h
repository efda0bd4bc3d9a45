#pragma once

#include "platform/inet/handle_table.h"
#include "platform/inet/internet.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace inet {

// Bytes held in memory per open URL, whatever the size of the resource.
inline constexpr std::size_t kTransferBufferSize = 1024 * 1024;

// The internet layer on libcurl. Every call blocks the calling thread; none throws.
class CurlInternet : public Internet {
public:
    explicit CurlInternet(Timeouts timeouts = kDefaultTimeouts, TlsTrust trust = {});
    ~CurlInternet() override;
    CurlInternet(const CurlInternet&) = delete;
    CurlInternet& operator=(const CurlInternet&) = delete;

    bool setWaitCallback(Handle session, WaitCallback callback) override;
    bool setProxyCredentials(Handle session, const std::string& user, const std::string& password) override;
    Handle openSession(const std::string& agent, std::uint32_t accessType, const std::optional<std::string>& proxy,
                       const std::optional<std::string>& proxyBypass, std::uint32_t flags) override;
    Handle connect(Handle session, const std::string& server, std::uint16_t port,
                   const std::optional<std::string>& user, const std::optional<std::string>& password,
                   std::uint32_t service, std::uint32_t flags, std::uintptr_t context) override;
    Handle openRequest(Handle connection, const std::string& verb, const std::string& object,
                       const std::string& version, const std::optional<std::string>& referrer, std::uint32_t flags,
                       std::uintptr_t context) override;
    bool sendRequest(Handle request, const std::optional<std::string>& headers,
                     std::span<const std::byte> optional) override;
    bool queryInfo(Handle request, std::uint32_t infoLevel, std::span<char> buffer, std::uint32_t& length,
                   std::uint32_t& index) override;
    Handle openUrl(Handle session, const std::string& url, const std::optional<std::string>& headers,
                   std::uint32_t flags, std::uintptr_t context) override;
    std::uint32_t setFilePointer(Handle file, std::int32_t distance, std::int32_t* distanceHigh,
                                 std::uint32_t moveMethod, std::uintptr_t context) override;
    bool readFile(Handle file, std::span<std::byte> buffer, std::uint32_t& bytesRead) override;
    bool closeHandle(Handle handle) override;

    std::size_t openHandleCount() const override { return m_objects.size(); }

    struct Object;

private:
    template <typename T>
    T* find(Handle handle);
    WaitCallback waitOf(Handle session);

    // A wait callback may close handles that a waiting call still works on: while any call
    // runs, closed objects are kept here and freed when the outermost call returns.
    class CallScope;
    int m_callDepth = 0;
    std::vector<std::unique_ptr<Object>> m_closedDuringCall;

    Timeouts m_timeouts;
    TlsTrust m_trust;
    HandleTable<Object> m_objects;
};

}  // namespace inet
