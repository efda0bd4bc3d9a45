#include "platform/com/registry.h"

#include "platform/runtime/runtime_error.h"
#include "platform/runtime/text.h"
#include "platform/shell/shell.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace com {

namespace {

// Keys compare without regard to case, as the registry's do.
std::string folded(std::string text)
{
    for (auto& c : text) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

bool holdsLineBreak(std::string_view text)
{
    return text.find_first_of("\r\n") != std::string_view::npos;
}

}  // namespace

std::filesystem::path Registry::defaultLocation()
{
    std::filesystem::path base;
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data)
        base = data;
    else if (const char* home = std::getenv("HOME"); home && *home)
        base = std::filesystem::path(home) / ".local" / "share";
    else
        base = std::filesystem::temp_directory_path();
    return base / "velkora-com" / "registry.txt";
}

Registry::Registry(std::filesystem::path file) : m_file(std::move(file))
{
    std::error_code error;
    if (!std::filesystem::exists(m_file, error) && !error)
        return;
    m_exists = true;
    std::ifstream in(m_file, std::ios::binary);
    if (!in) {
        m_readable = false;
        m_failure = m_file.string() + " cannot be read: " + std::strerror(errno);
        return;
    }
    std::ostringstream contents;
    contents << in.rdbuf();
    std::optional<Registry> read;
    if (in.good() || in.eof())
        read = parse(contents.str());
    if (!read) {
        m_readable = false;
        m_failure = m_file.string() + " cannot be read: it is no registration store";
        return;
    }
    m_keys = std::move(read->m_keys);
}

std::optional<Registry> Registry::parse(std::string_view text)
{
    Registry registry{Empty{}};
    std::string key;
    while (!text.empty()) {
        const auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty())
            continue;
        // What setValue refuses is no store either: it could never be written back as read.
        if (holdsLineBreak(line))
            return std::nullopt;
        if (line.size() > 2 && line.front() == '[' && line.back() == ']') {
            key = line.substr(1, line.size() - 2);
            registry.m_keys[folded(key)].spelling = key;
        } else if (const auto equals = line.find('='); equals != std::string_view::npos && !key.empty()) {
            const std::string_view name = line.substr(0, equals);
            registry.m_keys[folded(key)].values[name == "@" ? "" : std::string(name)] = line.substr(equals + 1);
        } else {
            return std::nullopt;
        }
    }
    return registry;
}

std::optional<std::string> Registry::value(const std::string& key, const std::string& name) const
{
    const auto found = m_keys.find(folded(key));
    if (found == m_keys.end())
        return std::nullopt;
    const auto value = found->second.values.find(name);
    if (value == found->second.values.end())
        return std::nullopt;
    return value->second;
}

bool Registry::setValue(const std::string& key, const std::string& name, const std::string& value)
{
    if (key.empty() || holdsLineBreak(key) || holdsLineBreak(name) || holdsLineBreak(value)
        || name.find('=') != std::string::npos || name == "@" || (!name.empty() && name.front() == '['))
        return false;
    Key& entry = m_keys[folded(key)];
    if (entry.spelling.empty())
        entry.spelling = key;
    entry.values[name] = value;
    return true;
}

void Registry::removeTree(const std::string& key)
{
    const std::string prefix = folded(key);
    for (auto it = m_keys.begin(); it != m_keys.end();) {
        if (it->first == prefix || it->first.rfind(prefix + "\\", 0) == 0)
            it = m_keys.erase(it);
        else
            ++it;
    }
}

bool Registry::hasKey(const std::string& key) const
{
    return m_keys.count(folded(key)) != 0;
}

std::string Registry::text() const
{
    std::string text;
    for (const auto& [folded, key] : m_keys) {
        text += '[' + key.spelling + "]\n";
        for (const auto& [name, value] : key.values)
            text += (name.empty() ? "@" : name) + '=' + value + '\n';
    }
    return text;
}

bool Registry::save()
{
    if (!m_readable)
        return false;
    std::error_code error;
    std::filesystem::create_directories(m_file.parent_path(), error);
    try {
        shell::writeFileAtomically(m_file, text());
        m_exists = true;
        return true;
    } catch (const runtime::RuntimeError& failure) {
        m_failure = m_file.string() + " cannot be written: " + runtime::toUtf8(failure.description());
        return false;
    }
}

}  // namespace com
