#include "clock/module/connection_points_win32.h"

namespace tavorix {

ULONG STDMETHODCALLTYPE PropertyNotifyPoint::AddRef()
{
    return m_owner.AddRef();
}

ULONG STDMETHODCALLTYPE PropertyNotifyPoint::Release()
{
    return m_owner.Release();
}

HRESULT STDMETHODCALLTYPE PropertyNotifyPoint::GetConnectionPointContainer(IConnectionPointContainer** container)
{
    if (!container)
        return E_POINTER;
    return m_owner.QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(container));
}

}  // namespace tavorix
