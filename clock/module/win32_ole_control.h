#pragma once

#include <windows.h>
#include <unknwn.h>

// UserControl1 as an ActiveX control of COM and OLE: the objects tavorix.ocx hands out.
namespace tavorix {

// The class factory of UserControl1; it lives as long as the module.
IClassFactory& userControl1Factory();

// Whether a live control or a container's lock keeps the module loaded.
bool moduleInUse();

}  // namespace tavorix
