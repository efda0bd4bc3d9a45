#include "platform/com/registry.h"

#include <cstdlib>
#include <fstream>
#include <unistd.h>

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

Registry::Registry(std::filesystem::path file)
    : m_file(std::move(file))
{
    // Format: "[key]" lines, then "name=value" lines; "@" names the default value.
    std::ifstream in(m_file);
    std::string line;
    std::string key;
    while (std::getline(in, line)) {
        if (line.size() > 2 && line.front() == '[' && line.back() == ']') {
            key = line.substr(1, line.size() - 2);
            m_keys[folded(key)].spelling = key;
        } else if (const auto equals = line.find('='); equals != std::string::npos && !key.empty()) {
            std::string name = line.substr(0, equals);
            m_keys[folded(key)].values[name == "@" ? "" : name] = line.substr(equals + 1);
        }
    }
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

void Registry::setValue(const std::string& key, const std::string& name, const std::string& value)
{
    Key& entry = m_keys[folded(key)];
    if (entry.spelling.empty())
        entry.spelling = key;
    entry.values[name] = value;
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

bool Registry::save() const
{
    std::error_code error;
    std::filesystem::create_directories(m_file.parent_path(), error);
    const std::filesystem::path temporary = m_file.string() + ".new-" + std::to_string(::getpid());
    {
        std::ofstream out(temporary, std::ios::trunc);
        for (const auto& [folded, key] : m_keys) {
            out << '[' << key.spelling << "]\n";
            for (const auto& [name, value] : key.values)
                out << (name.empty() ? "@" : name) << '=' << value << '\n';
        }
        out.flush();
        if (!out) {
            std::filesystem::remove(temporary, error);
            return false;
        }
    }
    std::filesystem::rename(temporary, m_file, error);
    return !error;
}

}  // namespace com
