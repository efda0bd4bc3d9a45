#pragma once

#include "platform/shell/files.h"
#include "platform/shell/programs.h"

#include <memory>

// The system around the updater, as one service: its files and its programs.
namespace shell {

class Shell : public Files, public Programs {};

// The shell of the system this program was built for.
std::unique_ptr<Shell> systemShell();

}  // namespace shell
