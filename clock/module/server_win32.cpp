#include "clock/module/server.h"

#include "clock/module/ole_control_win32.h"
#include "platform/com/com_ptr.h"

#include <atomic>
#include <new>
#include <stdexcept>
#include <string>

namespace tavorix {

namespace {

std::atomic<long>& serverLocks()
{
    static std::atomic<long> locks{0};
    return locks;
}

class UserControl1Factory final : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (!object)
            return E_POINTER;
        if (iid != IID_IUnknown && iid != IID_IClassFactory) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        *object = static_cast<IClassFactory*>(this);
        return S_OK;
    }
    // The factory lives as long as the module; its count does not keep the module loaded.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override
    {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        try {
            com::Ptr<IUnknown> created;
            *created.out() = makeUserControl1();
            return created->QueryInterface(iid, object);
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        } catch (const std::exception& error) {
            // The container gets a result code alone; the reason goes to the debugger's output.
            ::OutputDebugStringA(
                (std::string("tavorix: UserControl1 cannot be created: ") + error.what() + "\n").c_str());
            return E_FAIL;
        } catch (...) {
            return E_FAIL;
        }
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override
    {
        if (lock)
            ++serverLocks();
        else if (serverLocks() > 0)
            --serverLocks();
        return S_OK;
    }
};

}  // namespace

std::atomic<long>& liveControls()
{
    static std::atomic<long> live{0};
    return live;
}

ClassFactory& userControl1Factory()
{
    static UserControl1Factory factory;
    return factory;
}

bool moduleInUse()
{
    return liveControls() > 0 || serverLocks() > 0;
}

}  // namespace tavorix
