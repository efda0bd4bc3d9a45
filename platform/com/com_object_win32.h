#pragma once

#include "platform/runtime/runtime_error.h"

#include <windows.h>
#include <unknwn.h>

#include <new>
#include <string>
#include <string_view>

// Pieces of COM objects on Windows: the reference count of an object of one thread, and the
// way a run-time error leaves a method.
namespace com {

// A COM object of one thread that deletes itself at its last release: AddRef and Release
// answer for every interface it implements.
template <typename Self, typename... Interfaces>
class Counted : public Interfaces... {
public:
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_references; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG left = --m_references;
        if (left == 0)
            delete static_cast<Self*>(this);
        return left;
    }

private:
    ULONG m_references = 1;
};

// A run-time error as a caller of a dual interface receives it: the error's number in a
// control's result code (what script hosts read back as Err.Number) and its description in
// the thread's error information, naming `source` and the interface `iid`.
HRESULT raise(const runtime::RuntimeError& error, std::u16string_view source, REFIID iid);

// A call's failure as a message: "STEP NAME failed: 0x8007000E" (the name's letters beyond ASCII
// as "?").
std::string describeFailure(const char* step, std::u16string_view name, HRESULT result);

// Runs `step` as a method's body: S_OK, or the error it threw as raise() gives it (no
// exception leaves a COM method).
template <typename Step>
HRESULT guarded(std::u16string_view source, REFIID iid, Step&& step)
{
    try {
        step();
        return S_OK;
    } catch (const runtime::RuntimeError& error) {
        return raise(error, source, iid);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
}

}  // namespace com
