#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>

// The registration store: keys with named string values, as COM registration writes them
// ("CLSID\{...}\InprocServer32", value "" for a key's default). It lives in one file under
// $XDG_DATA_HOME (default ~/.local/share), so that each user, and each test, has its own.
namespace com {

class Registry {
public:
    // The store of this user.
    static std::filesystem::path defaultLocation();

    // Reads the store at `file`; a missing file is an empty store.
    explicit Registry(std::filesystem::path file = defaultLocation());

    std::optional<std::string> value(const std::string& key, const std::string& name = "") const;
    void setValue(const std::string& key, const std::string& name, const std::string& value);
    // Removes `key` and every key below it.
    void removeTree(const std::string& key);
    bool hasKey(const std::string& key) const;

    // Writes the store back in one step (a temporary file renamed over the old one).
    // False when it cannot be written.
    bool save() const;

private:
    struct Key {
        std::string spelling;  // as first written
        std::map<std::string, std::string> values;
    };
    std::filesystem::path m_file;
    std::map<std::string, Key> m_keys;  // by the key folded to lower case
};

}  // namespace com
