#pragma once

#include "platform/com/com.h"

#include <atomic>

// The module's COM objects: the class factory of UserControl1 and the objects it makes. The
// module counts its live objects and server locks, so that DllCanUnloadNow tells the truth.
namespace tavorix {

struct ModuleCounts {
    std::atomic<long> objects{0};
    std::atomic<long> locks{0};
};
ModuleCounts& moduleCounts();

// The one class factory of the module (not counted as an object).
com::IClassFactory& classFactory();

}  // namespace tavorix
