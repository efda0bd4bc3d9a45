#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

// Whether the minisign program can be run here: on Linux; not from a Windows program.
inline bool minisignAvailable()
{
#ifdef _WIN32
    return false;
#else
    return true;
#endif
}

// Keys and signatures made at test time by the minisign program, as a vendor makes them.
struct MinisignKey {
    std::filesystem::path publicFile;
    std::filesystem::path secretFile;

    // A key pair without a password in `folder`, named `name`.
    static MinisignKey make(const std::filesystem::path& folder, const std::string& name)
    {
        std::filesystem::create_directories(folder);
        MinisignKey key{folder / (name + ".pub"), folder / (name + ".key")};
        run("minisign -G -W -p '" + key.publicFile.string() + "' -s '" + key.secretFile.string() + "'");
        return key;
    }

    // The "RW..." line, as the updater is built with it.
    std::string publicLine() const
    {
        std::ifstream in(publicFile);
        std::string line;
        std::getline(in, line);
        std::getline(in, line);
        return line;
    }

    // Signs `file` into `signatureFile`: prehashed unless `legacy`, with minisign's own trusted
    // comment unless one is given.
    void sign(const std::filesystem::path& file, const std::filesystem::path& signatureFile, bool legacy = false,
              const std::string& trustedComment = "") const
    {
        run("minisign -S " + std::string(legacy ? "-l " : "") + "-s '" + secretFile.string() + "' -m '" + file.string()
            + "' -x '" + signatureFile.string() + "'"
            + (trustedComment.empty() ? "" : " -t \"$(printf '" + trustedComment + "')\""));
    }

private:
    static void run(const std::string& command)
    {
        if (std::system((command + " >/dev/null 2>&1 </dev/null").c_str()) != 0)
            throw std::runtime_error("minisign failed: " + command);
    }
};
