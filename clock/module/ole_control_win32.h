#pragma once

#include <windows.h>
#include <unknwn.h>

#include <atomic>

// UserControl1 as an ActiveX control of COM and OLE, the object the module's class factory
// makes (server_win32.cpp).
namespace tavorix {

// A new control with one reference, which the caller owns. Throws what making it throws (no
// memory, a module without its type library).
IUnknown* makeUserControl1();

// The controls alive: each one keeps the module loaded.
std::atomic<long>& liveControls();

}  // namespace tavorix
