#include "platform/runtime/runtime_error.h"
#include "platform/shell/shell.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

TEST(WriteFileAtomically, ReplacesInOneStepAndLeavesNoTemporaryWhenItCannot)
{
    const fs::path folder = fs::temp_directory_path() / ("atomic-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    shell::writeFileAtomically(folder / "store.txt", "first");
    shell::writeFileAtomically(folder / "store.txt", "second");
    std::ifstream in(folder / "store.txt");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "second");

    // A folder in the target's place refuses the rename.
    fs::create_directories(folder / "taken" / "inside");
    EXPECT_THROW(shell::writeFileAtomically(folder / "taken", "x"), runtime::RuntimeError);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 2);
    fs::remove_all(folder);
}

}  // namespace
