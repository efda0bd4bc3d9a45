#pragma once

#include <utility>

namespace com {

// A COM interface pointer that holds one reference, released when it goes: for the system's
// interfaces (Windows) as for this surface's own (com::IUnknown). The one owner of every
// reference that code here takes.
template <typename T>
class Ptr {
public:
    Ptr() = default;
    // Takes one more reference to `pointer`.
    explicit Ptr(T* pointer) { reset(pointer); }
    Ptr(const Ptr& other) { reset(other.m_pointer); }
    Ptr(Ptr&& other) noexcept : m_pointer(std::exchange(other.m_pointer, nullptr)) {}
    Ptr& operator=(Ptr other) noexcept
    {
        std::swap(m_pointer, other.m_pointer);
        return *this;
    }
    ~Ptr() { reset(); }

    // Holds `pointer` with a reference of its own, letting go of the one held.
    void reset(T* pointer = nullptr)
    {
        if (pointer)
            pointer->AddRef();
        if (m_pointer)
            m_pointer->Release();
        m_pointer = pointer;
    }
    // Where a call that hands out a reference writes it (QueryInterface, a creating call): the
    // one held goes first.
    T** out()
    {
        reset();
        return &m_pointer;
    }
    // `out()` for calls that take the address as void**.
    void** outVoid() { return reinterpret_cast<void**>(out()); }
    // Gives the reference held to the caller, who then owns it.
    T* detach() { return std::exchange(m_pointer, nullptr); }

    T* get() const { return m_pointer; }
    T* operator->() const { return m_pointer; }
    explicit operator bool() const { return m_pointer != nullptr; }

private:
    T* m_pointer = nullptr;
};

}  // namespace com
