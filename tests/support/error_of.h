#pragma once

#include "platform/runtime/runtime_error.h"

#include <functional>

// The number of the run-time error that `call` raises, or 0 when it raises none.
inline int errorOf(const std::function<void()>& call)
{
    try {
        call();
    } catch (const runtime::RuntimeError& error) {
        return error.number();
    }
    return 0;
}
