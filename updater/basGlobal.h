#pragma once

#include "download/url_helpers.h"

// The updater's shared module. Its two URL helpers live with the download control, which is
// their one user; the module offers them to the updater's code under its own name.
namespace basGlobal {

using url_helpers::CutAtNull;
using url_helpers::SplitUrl;

}  // namespace basGlobal
