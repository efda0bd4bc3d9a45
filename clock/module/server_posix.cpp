#include "clock/module/server.h"

#include "clock/module/tavorix_library.h"
#include "clock/user_control1.h"
#include "platform/com/com_ptr.h"
#include "platform/controls/twips.h"
#include "platform/runtime/runtime_error.h"

#include <QApplication>
#include <atomic>
#include <cstdio>

namespace tavorix {

namespace {

// The module's live objects and server locks.
struct ModuleCounts {
    std::atomic<long> objects{0};
    std::atomic<long> locks{0};
};

ModuleCounts& moduleCounts()
{
    static ModuleCounts counts;
    return counts;
}

// A UserControl1 as a COM object: IDispatch for its properties, IEmbeddedControl for the
// container, and the container's notices passed on as IPropertyNotifySink::OnChanged.
class UserControl1Object final : public com::IDispatch, public com::IEmbeddedControl, private controls::ControlSite {
public:
    UserControl1Object() : m_control(std::make_unique<UserControl1>())
    {
        m_control->setSite(this);
        ++moduleCounts().objects;
    }
    ~UserControl1Object()
    {
        m_control->setSite(nullptr);
        --moduleCounts().objects;
    }

    com::HResult QueryInterface(const com::Guid& iid, void** object) override
    {
        if (!object)
            return com::E_POINTER;
        if (iid == com::IID_IUnknown || iid == com::IID_IDispatch || iid == IID__UserControl1)
            *object = static_cast<com::IDispatch*>(this);
        else if (iid == com::IID_IEmbeddedControl)
            *object = static_cast<com::IEmbeddedControl*>(this);
        else {
            *object = nullptr;
            return com::E_NOINTERFACE;
        }
        AddRef();
        return com::S_OK;
    }
    std::uint32_t AddRef() override { return ++m_references; }
    std::uint32_t Release() override
    {
        const std::uint32_t left = --m_references;
        if (left == 0)
            delete this;
        return left;
    }

    com::HResult GetTypeInfo(const com::TypeLibrary** library, std::u16string* interfaceName) override
    {
        if (!library)
            return com::E_POINTER;
        *library = &typeLibrary();
        if (interfaceName)
            *interfaceName = u"_UserControl1";
        return com::S_OK;
    }

    com::HResult Invoke(controls::DispId id, controls::InvokeKind kind, std::span<runtime::Variant> args,
                        runtime::Variant* result, com::ExceptionInfo* exception) override
    {
        try {
            runtime::Variant value = m_control->invoke(id, kind, args);
            if (result)
                *result = std::move(value);
            return com::S_OK;
        } catch (const runtime::RuntimeError& error) {
            if (error.number() == runtime::error::kObjectDoesNotSupport)
                return com::DISP_E_MEMBERNOTFOUND;
            if (exception)
                *exception = {error.number(), error.description()};
            return com::DISP_E_EXCEPTION;
        } catch (...) {
            return com::E_FAIL;
        }
    }

    com::HResult SetSite(com::IPropertyNotifySink* site) override
    {
        m_sink = site;
        return com::S_OK;
    }
    com::HResult InitNew() override
    {
        return guarded([&] { m_control->initNew(); });
    }
    com::HResult Load(const controls::PropertyStore& store) override
    {
        return guarded([&] { m_control->load(store); });
    }
    com::HResult Save(controls::PropertyStore& store) override
    {
        return guarded([&] { m_control->save(store); });
    }
    com::HResult Activate(void* parentWindow) override
    {
        // The container may have destroyed the window that held the control already.
        return m_control->window().place(parentWindow) ? com::S_OK : com::E_UNEXPECTED;
    }
    com::HResult SetExtent(int width, int height) override
    {
        // An extent is a window's size in twips: none is negative, or larger than a window can be.
        constexpr int kLargest = ClockWindow::kLargestSide * controls::kTwipsPerPixel;
        if (width < 0 || height < 0 || width > kLargest || height > kLargest)
            return com::E_INVALIDARG;
        return guarded([&] { m_control->setExtent(width, height); });
    }
    com::HResult GetExtent(int* width, int* height) override
    {
        if (!width || !height)
            return com::E_POINTER;
        *width = m_control->extentWidth();
        *height = m_control->extentHeight();
        return com::S_OK;
    }

private:
    template <typename F>
    com::HResult guarded(F&& step)
    {
        try {
            step();
            return com::S_OK;
        } catch (...) {
            return com::E_FAIL;
        }
    }

    void propertyChanged(std::u16string_view name) override
    {
        if (!m_sink)
            return;
        for (const auto& property : typeLibrary().find(u"_UserControl1")->properties) {
            if (property.name == name)
                m_sink->OnChanged(property.id);
        }
    }
    void raiseEvent(const controls::EventInfo&, std::span<runtime::Variant>) override {}

    std::unique_ptr<UserControl1> m_control;
    com::IPropertyNotifySink* m_sink = nullptr;
    std::uint32_t m_references = 1;
};

class UserControl1Factory final : public com::IClassFactory {
public:
    com::HResult QueryInterface(const com::Guid& iid, void** object) override
    {
        if (!object)
            return com::E_POINTER;
        if (iid != com::IID_IUnknown && iid != com::IID_IClassFactory) {
            *object = nullptr;
            return com::E_NOINTERFACE;
        }
        *object = static_cast<com::IClassFactory*>(this);
        return com::S_OK;
    }
    // The factory lives as long as the module; its count does not keep the module loaded.
    std::uint32_t AddRef() override { return 2; }
    std::uint32_t Release() override { return 1; }

    com::HResult CreateInstance(com::IUnknown* outer, const com::Guid& iid, void** object) override
    {
        if (!object)
            return com::E_POINTER;
        *object = nullptr;
        if (outer)
            return com::CLASS_E_NOAGGREGATION;
        // A control has a window, and windows need the host's application object: without one
        // the control cannot be made, and the host must never be taken down for it.
        if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
            return com::E_UNEXPECTED;
        try {
            com::Ptr<com::IDispatch> created;
            *created.out() = new UserControl1Object();
            return created->QueryInterface(iid, object);
        } catch (const std::bad_alloc&) {
            return com::E_OUTOFMEMORY;
        } catch (const std::exception& error) {
            std::fprintf(stderr, "tavorix: UserControl1 cannot be created: %s\n", error.what());
            return com::E_FAIL;
        } catch (...) {
            return com::E_FAIL;
        }
    }
    com::HResult LockServer(bool lock) override
    {
        if (lock)
            ++moduleCounts().locks;
        else if (moduleCounts().locks > 0)
            --moduleCounts().locks;
        return com::S_OK;
    }
};

}  // namespace

ClassFactory& userControl1Factory()
{
    static UserControl1Factory factory;
    return factory;
}

bool moduleInUse()
{
    return moduleCounts().objects > 0 || moduleCounts().locks > 0;
}

}  // namespace tavorix
