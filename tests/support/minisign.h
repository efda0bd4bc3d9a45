#pragma once

#include "tests/support/programs.h"

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

// Keys and signatures made at test time by the minisign program, as a vendor makes them: on the
// machine the tests run on (under Wine, its Unix side).
struct MinisignKey {
    std::filesystem::path publicFile;
    std::filesystem::path secretFile;

    // A key pair without a password in `folder`, named `name`.
    static MinisignKey make(const std::filesystem::path& folder, const std::string& name)
    {
        std::filesystem::create_directories(folder);
        MinisignKey key{folder / (name + ".pub"), folder / (name + ".key")};
        run("minisign -G -W -p " + quoted(key.publicFile) + " -s " + quoted(key.secretFile));
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
        run("minisign -S " + std::string(legacy ? "-l " : "") + "-s " + quoted(secretFile) + " -m " + quoted(file)
            + " -x " + quoted(signatureFile)
            + (trustedComment.empty() ? "" : " -t \"$(printf '" + trustedComment + "')\""));
    }

private:
    static std::string quoted(const std::filesystem::path& path) { return "'" + test_programs::hostPath(path) + "'"; }
    static void run(const std::string& command)
    {
        if (test_programs::runOnHost(command + " >/dev/null 2>&1 </dev/null") != 0)
            throw std::runtime_error("minisign failed: " + command);
    }
};
