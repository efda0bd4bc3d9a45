#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>

// The registration store: keys with named string values, as COM registration writes them
// ("CLSID\{...}\InprocServer32", value "" for a key's default). It lives in one file under
// $XDG_DATA_HOME (default ~/.local/share), so that each user, and each test, has its own.
//
// The file holds "[key]" lines, each followed by its "name=value" lines ("@" names the default
// value); lines end in LF or CR LF. Nothing stored may hold a line break, so that no text can
// pass for a key or a value of its own.
namespace com {

class Registry {
public:
    // The store of this user.
    static std::filesystem::path defaultLocation();

    // Reads the store at `file`; a missing file is an empty store. A store that is there but
    // cannot be read (no access, or a line that is no key, value or blank) is unreadable: it is
    // never taken for empty, and never saved over.
    explicit Registry(std::filesystem::path file = defaultLocation());

    bool readable() const { return m_readable; }
    // Whether the store's file is there at all.
    bool exists() const { return m_exists; }
    // Why the store could not be read or written, naming its file; empty while nothing failed.
    const std::string& failure() const { return m_failure; }

    std::optional<std::string> value(const std::string& key, const std::string& name = "") const;
    // False, and nothing changed, for what the store cannot hold as given: a line break in the
    // key, the name or the value, a name holding "=" or starting with "[", or the name "@".
    bool setValue(const std::string& key, const std::string& name, const std::string& value);
    // Removes `key` and every key below it.
    void removeTree(const std::string& key);
    bool hasKey(const std::string& key) const;

    // Writes the store back in one step (a temporary file beside it, flushed and renamed over
    // it; none left behind). False, with the reason in failure(), when the store was unreadable
    // or cannot be written.
    bool save();

    // The store's text, and the store a text holds (nullopt when it is no store).
    std::string text() const;
    static std::optional<Registry> parse(std::string_view text);

private:
    struct Empty {};
    explicit Registry(Empty) {}

    struct Key {
        std::string spelling;  // as first written
        std::map<std::string, std::string> values;
    };
    std::filesystem::path m_file;
    std::map<std::string, Key> m_keys;  // by the key folded to lower case
    bool m_readable = true;
    bool m_exists = false;
    std::string m_failure;
};

}  // namespace com
