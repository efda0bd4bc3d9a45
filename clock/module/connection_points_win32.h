#pragma once

#include "platform/com/com_object_win32.h"
#include "platform/com/com_ptr.h"

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <new>
#include <utility>
#include <vector>

// The connection points of an ActiveX control that sends property-changed notices.
namespace tavorix {

// The one connection point of a control: containers' IPropertyNotifySink. It is part of the
// control (`owner`), whose count it shares.
class PropertyNotifyPoint final : public IConnectionPoint {
public:
    explicit PropertyNotifyPoint(IConnectionPointContainer& owner) : m_owner(owner) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (!object)
            return E_POINTER;
        if (iid != IID_IUnknown && iid != IID_IConnectionPoint) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        *object = static_cast<IConnectionPoint*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override
    {
        if (!iid)
            return E_POINTER;
        *iid = IID_IPropertyNotifySink;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** container) override;
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override
    {
        if (!sink || !cookie)
            return E_POINTER;
        com::Ptr<IPropertyNotifySink> notices;
        if (FAILED(sink->QueryInterface(IID_IPropertyNotifySink, notices.outVoid())))
            return CONNECT_E_CANNOTCONNECT;
        *cookie = ++m_lastCookie;
        m_sinks.emplace_back(*cookie, std::move(notices));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override
    {
        for (auto it = m_sinks.begin(); it != m_sinks.end(); ++it) {
            if (it->first == cookie) {
                const com::Ptr<IPropertyNotifySink> sink = std::move(it->second);  // let go of once out
                m_sinks.erase(it);
                return S_OK;
            }
        }
        return CONNECT_E_NOCONNECTION;
    }
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** connections) override
    {
        if (connections)
            *connections = nullptr;
        return E_NOTIMPL;
    }

    void changed(DISPID id)
    {
        // A sink may unadvise while it is told: tell a copy.
        const auto sinks = m_sinks;
        for (const auto& [cookie, sink] : sinks)
            sink->OnChanged(id);
    }

private:
    IConnectionPointContainer& m_owner;
    std::vector<std::pair<DWORD, com::Ptr<IPropertyNotifySink>>> m_sinks;
    DWORD m_lastCookie = 0;
};

// The enumeration of a control's connection points: the one above.
class ConnectionPointList final : public com::Counted<ConnectionPointList, IEnumConnectionPoints> {
public:
    explicit ConnectionPointList(IConnectionPoint* point, ULONG position = 0) : m_position(position)
    {
        m_point.reset(point);
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (!object)
            return E_POINTER;
        if (iid != IID_IUnknown && iid != IID_IEnumConnectionPoints) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        *object = static_cast<IEnumConnectionPoints*>(this);
        AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Next(ULONG count, IConnectionPoint** points, ULONG* fetched) override
    {
        if (!points || (count > 1 && !fetched))
            return E_POINTER;
        ULONG given = 0;
        if (count > 0 && m_position == 0) {
            points[0] = m_point.get();
            points[0]->AddRef();
            given = 1;
            m_position = 1;
        }
        if (fetched)
            *fetched = given;
        return given == count ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override
    {
        const bool all = m_position + count <= 1;
        m_position = all ? m_position + count : 1;
        return all ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Reset() override
    {
        m_position = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IEnumConnectionPoints** copy) override
    {
        if (!copy)
            return E_POINTER;
        *copy = new (std::nothrow) ConnectionPointList(m_point.get(), m_position);
        return *copy ? S_OK : E_OUTOFMEMORY;
    }

private:
    com::Ptr<IConnectionPoint> m_point;
    ULONG m_position;
};

}  // namespace tavorix
