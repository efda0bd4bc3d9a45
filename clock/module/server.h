#pragma once

// The module's COM objects as its exported entry points hand them out: the class factory of
// UserControl1 and the count that tells whether the module may be unloaded. On Windows they
// are the system's COM objects (an ActiveX control); elsewhere this surface's own.
#ifdef _WIN32
#include <windows.h>
#include <unknwn.h>
namespace tavorix {
using ClassFactory = ::IClassFactory;
}
#else
#include "platform/com/com.h"
namespace tavorix {
using ClassFactory = com::IClassFactory;
}
#endif

namespace tavorix {

// The class factory of UserControl1; it lives as long as the module, and its own references do
// not keep the module loaded.
ClassFactory& userControl1Factory();

// Whether a live control or a container's lock on the factory keeps the module loaded.
bool moduleInUse();

}  // namespace tavorix
