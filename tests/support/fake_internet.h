#pragma once

#include "platform/inet/internet.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <set>
#include <string>
#include <vector>

// A scripted internet layer that writes every call into a log (which tests share with their
// "yield" recorder, so that they see where the host's events are processed) and answers as the
// test has set it up.
class FakeInternet : public inet::Internet {
public:
    explicit FakeInternet(std::vector<std::string>& log) : m_log(log) {}

    // What the layer answers.
    inet::Handle sessionHandle = 100;
    inet::Handle connectionHandle = 200;
    inet::Handle requestHandle = 300;
    inet::Handle urlHandle = 400;
    std::optional<std::string> rawHeaders = std::string("HTTP/1.1 200 OK\r\nContent-Length: 5000\r\n\r\n");
    std::optional<std::string> statusCode;
    std::string resource = std::string(5000, 'r');
    std::optional<std::size_t> failReadAt;  // a read that reaches this offset fails
    bool refuseMove = false;
    std::size_t position = 0;

    // What the control passed.
    std::optional<std::string> lastProxy;
    std::optional<std::string> lastUser;
    std::optional<std::string> lastPassword;
    std::string lastServer;
    std::string lastObject;
    std::string lastUrl;
    std::set<inet::Handle> open;

    // The callback the control gave for waits; tests call it as a waiting layer would.
    inet::WaitCallback waitCallback;
    bool setWaitCallback(inet::Handle, inet::WaitCallback callback) override
    {
        waitCallback = std::move(callback);
        return true;
    }

    bool setProxyCredentials(inet::Handle session, const std::string& user, const std::string& password) override
    {
        m_log.push_back("setProxyCredentials " + std::to_string(session) + " " + user + " " + password);
        return true;
    }

    inet::Handle openSession(const std::string& agent, std::uint32_t accessType,
                             const std::optional<std::string>& proxy, const std::optional<std::string>&,
                             std::uint32_t flags) override
    {
        lastProxy = proxy;
        m_log.push_back("openSession " + std::to_string(accessType) + " " + proxy.value_or("-") + " "
                        + std::to_string(flags) + " " + agent);
        return track(sessionHandle);
    }
    inet::Handle connect(inet::Handle session, const std::string& server, std::uint16_t port,
                         const std::optional<std::string>& user, const std::optional<std::string>& password,
                         std::uint32_t service, std::uint32_t, std::uintptr_t) override
    {
        lastServer = server;
        lastUser = user;
        lastPassword = password;
        m_log.push_back("connect " + std::to_string(session) + " " + server + " " + std::to_string(port) + " "
                        + std::to_string(service));
        return session == 0 || server.empty() ? 0 : track(connectionHandle);
    }
    inet::Handle openRequest(inet::Handle connection, const std::string& verb, const std::string& object,
                             const std::string& version, const std::optional<std::string>&, std::uint32_t flags,
                             std::uintptr_t) override
    {
        lastObject = object;
        m_log.push_back("openRequest " + verb + " " + object + " " + version + " " + std::to_string(flags));
        return connection == 0 ? 0 : track(requestHandle);
    }
    bool sendRequest(inet::Handle, const std::optional<std::string>&, std::span<const std::byte>) override
    {
        m_log.push_back("sendRequest");
        return rawHeaders.has_value();
    }
    bool queryInfo(inet::Handle, std::uint32_t level, std::span<char> buffer, std::uint32_t& length,
                   std::uint32_t&) override
    {
        m_log.push_back("queryInfo " + std::to_string(level));
        const auto& text = level == inet::kQueryRawHeadersCrlf ? rawHeaders : statusCode;
        if (!text || text->size() + 1 > std::min<std::size_t>(length, buffer.size())) {
            if (text)
                length = static_cast<std::uint32_t>(text->size() + 1);
            return false;
        }
        std::memcpy(buffer.data(), text->data(), text->size());
        buffer[text->size()] = '\0';
        length = static_cast<std::uint32_t>(text->size());
        return true;
    }
    inet::Handle openUrl(inet::Handle session, const std::string& url, const std::optional<std::string>&,
                         std::uint32_t flags, std::uintptr_t) override
    {
        lastUrl = url;
        m_log.push_back("openUrl " + std::to_string(session) + " " + std::to_string(flags));
        position = 0;
        return session == 0 ? 0 : track(urlHandle);
    }
    std::uint32_t setFilePointer(inet::Handle, std::int32_t distance, std::int32_t*, std::uint32_t method,
                                 std::uintptr_t) override
    {
        m_log.push_back("setFilePointer " + std::to_string(distance) + " " + std::to_string(method));
        if (refuseMove)
            return inet::kInvalidSetFilePointer;
        position = static_cast<std::size_t>(distance);
        return static_cast<std::uint32_t>(distance);
    }
    bool readFile(inet::Handle, std::span<std::byte> buffer, std::uint32_t& bytesRead) override
    {
        std::size_t count = std::min(buffer.size(), resource.size() - std::min(position, resource.size()));
        if (failReadAt && position + count >= *failReadAt && count > 0) {
            m_log.push_back("readFile failed");
            bytesRead = 0;
            return false;
        }
        std::memcpy(buffer.data(), resource.data() + position, count);
        position += count;
        bytesRead = static_cast<std::uint32_t>(count);
        m_log.push_back("readFile " + std::to_string(count));
        return true;
    }
    bool closeHandle(inet::Handle handle) override
    {
        m_log.push_back("close " + std::to_string(handle));
        return open.erase(handle) > 0;
    }
    std::size_t openHandleCount() const override { return open.size(); }

private:
    inet::Handle track(inet::Handle handle)
    {
        if (handle != 0)
            open.insert(handle);
        return handle;
    }

    std::vector<std::string>& m_log;
};
