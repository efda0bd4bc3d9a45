#include "clock/module/tavorix_library.h"
#include "platform/com/inproc_server.h"
#include "platform/com/registry.h"
#include "platform/runtime/conversions.h"
#include "tools/control-container/control_form.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#ifndef TAVORIX_MODULE
#error "TAVORIX_MODULE must name the built module"
#endif

namespace fs = std::filesystem;

namespace {

// Each test has its own registration store.
class TavorixModule : public testing::Test {
protected:
    TavorixModule()
    {
        ::setenv("XDG_DATA_HOME", m_store.c_str(), 1);
        std::string error;
        server = com::InprocServer::load(TAVORIX_MODULE, error);
    }
    ~TavorixModule() override { fs::remove_all(m_store); }

    fs::path m_store = fs::temp_directory_path() / ("tavorix-store-" + std::to_string(::getpid()));
    std::unique_ptr<com::InprocServer> server;
};

TEST(TavorixLibrary, IdentifiersAndTypeLibraryArePinned)
{
    EXPECT_EQ(tavorix::LIBID_Tavorix.toString(), "{3E7A41C2-9B5D-4F08-A1C6-5D2E8B7F3A10}");
    EXPECT_EQ(tavorix::CLSID_UserControl1.toString(), "{8C4F2D19-6A3B-4E7C-9D21-0B5F7A3C8E42}");
    EXPECT_EQ(tavorix::IID__UserControl1.toString(), "{C2A9E5B7-1D4F-4A86-B3E0-7F6D2C1A9B58}");
    EXPECT_EQ(tavorix::DIID___UserControl1.toString(), "{5F1B8D3A-E27C-4C95-8A4D-2B6E9F0C7D13}");
    EXPECT_EQ(tavorix::GUID_renk.toString(), "{A7D3C6E1-4B2F-4D89-9E5A-1C8B3F7E2D64}");
    EXPECT_EQ(com::Guid::parse("{8c4f2d19-6a3b-4e7c-9d21-0b5f7a3c8e42}"), tavorix::CLSID_UserControl1);

    const com::TypeLibrary& lib = tavorix::typeLibrary();
    EXPECT_EQ(lib.name, u"Tavorix");
    EXPECT_EQ(lib.helpString, u"Tavorix");
    EXPECT_EQ(lib.lcid, 0u);
    EXPECT_EQ(lib.majorVersion, 17);
    EXPECT_EQ(lib.minorVersion, 0);
    EXPECT_EQ(lib.flags, com::LIBFLAG_FCONTROL);
    const auto* coclass = lib.find(u"UserControl1");
    ASSERT_NE(coclass, nullptr);
    EXPECT_EQ(coclass->flags, com::TYPEFLAG_FCONTROL);
    EXPECT_EQ(coclass->defaultInterface, u"_UserControl1");
    EXPECT_EQ(coclass->defaultSource, u"__UserControl1");
    const auto* dual = lib.find(u"_UserControl1");
    ASSERT_EQ(dual->properties.size(), 1u);
    EXPECT_EQ(dual->properties[0].name, u"Style");
    EXPECT_EQ(dual->properties[0].id, 0x68030000);
    EXPECT_EQ(dual->properties[0].type, u"renk");
    EXPECT_TRUE(dual->flags & com::TYPEFLAG_FDUAL);
    EXPECT_TRUE(dual->flags & com::TYPEFLAG_FHIDDEN);
    EXPECT_TRUE(lib.find(u"__UserControl1")->properties.empty());
    const auto* colours = lib.find(u"renk");
    ASSERT_EQ(colours->constants.size(), 3u);
    EXPECT_EQ(colours->constants[0], (std::pair<std::u16string, std::int32_t>{u"Yeşil", 0}));
    EXPECT_EQ(colours->constants[1], (std::pair<std::u16string, std::int32_t>{u"Kırmızı", 1}));
    EXPECT_EQ(colours->constants[2], (std::pair<std::u16string, std::int32_t>{u"Mavi", 2}));

    const auto& version = tavorix::versionInfo();
    EXPECT_EQ(version.fileVersion[0], 1);
    EXPECT_EQ(version.fileVersion[3], 0);
    EXPECT_TRUE(version.oleSelfRegister);
}

TEST_F(TavorixModule, RegistrationRoundTrip)
{
    ASSERT_NE(server, nullptr);
    ASSERT_EQ(server->registerServer(), com::S_OK);
    com::Registry registry;
    const std::string clsid = "CLSID\\{8C4F2D19-6A3B-4E7C-9D21-0B5F7A3C8E42}";
    EXPECT_EQ(registry.value("Tavorix.UserControl1\\CLSID"), "{8C4F2D19-6A3B-4E7C-9D21-0B5F7A3C8E42}");
    EXPECT_EQ(registry.value(clsid + "\\InprocServer32"), fs::canonical(TAVORIX_MODULE).string());
    EXPECT_EQ(registry.value(clsid + "\\InprocServer32", "ThreadingModel"), "Apartment");
    EXPECT_EQ(registry.value(clsid + "\\ProgID"), "Tavorix.UserControl1");
    EXPECT_TRUE(registry.hasKey(clsid + "\\Control"));
    EXPECT_EQ(registry.value(clsid + "\\MiscStatus\\1"), std::to_string(0x20191));
    EXPECT_EQ(registry.value(clsid + "\\ToolboxBitmap32"), fs::canonical(TAVORIX_MODULE).string() + ", 30000");
    EXPECT_EQ(registry.value(clsid + "\\TypeLib"), "{3E7A41C2-9B5D-4F08-A1C6-5D2E8B7F3A10}");
    EXPECT_EQ(registry.value("TypeLib\\{3E7A41C2-9B5D-4F08-A1C6-5D2E8B7F3A10}\\11.0\\FLAGS"), "2");

    const auto found = com::findClass("Tavorix.UserControl1");
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->clsid, tavorix::CLSID_UserControl1);

    ASSERT_EQ(server->unregisterServer(), com::S_OK);
    com::Registry after;
    EXPECT_FALSE(after.hasKey(clsid));
    EXPECT_FALSE(after.hasKey("Tavorix.UserControl1"));
    EXPECT_FALSE(com::findClass("Tavorix.UserControl1").has_value());
}

TEST_F(TavorixModule, ClassFactoryAndUnloadCounts)
{
    ASSERT_NE(server, nullptr);
    void* object = nullptr;
    EXPECT_EQ(server->getClassObject(tavorix::GUID_renk, com::IID_IClassFactory, &object), com::CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(object, nullptr);

    com::IClassFactory* factory = nullptr;
    ASSERT_EQ(server->getClassObject(tavorix::CLSID_UserControl1, com::IID_IClassFactory,
                                     reinterpret_cast<void**>(&factory)),
              com::S_OK);
    EXPECT_EQ(server->canUnloadNow(), com::S_OK);

    com::IDispatch* clock = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, com::IID_IDispatch, reinterpret_cast<void**>(&clock)), com::S_OK);
    EXPECT_EQ(server->canUnloadNow(), com::S_FALSE);
    EXPECT_EQ(factory->CreateInstance(reinterpret_cast<com::IUnknown*>(clock), com::IID_IDispatch, &object),
              com::CLASS_E_NOAGGREGATION);

    runtime::Variant value;
    ASSERT_EQ(clock->Invoke(0x68030000, controls::InvokeKind::PropertyGet, {}, &value, nullptr), com::S_OK);
    runtime::Variant bad(std::int32_t{3});
    com::ExceptionInfo exception;
    EXPECT_EQ(clock->Invoke(0x68030000, controls::InvokeKind::PropertyPut, std::span(&bad, 1), nullptr, &exception),
              com::DISP_E_EXCEPTION);
    EXPECT_EQ(exception.number, 340);
    EXPECT_EQ(clock->Invoke(0x12345, controls::InvokeKind::PropertyGet, {}, &value, nullptr), com::DISP_E_MEMBERNOTFOUND);

    EXPECT_EQ(clock->Release(), 0u);
    EXPECT_EQ(server->canUnloadNow(), com::S_OK);
    factory->LockServer(true);
    EXPECT_EQ(server->canUnloadNow(), com::S_FALSE);
    factory->LockServer(false);
    EXPECT_EQ(server->canUnloadNow(), com::S_OK);
}

TEST_F(TavorixModule, ControlOutlivingItsWindowIsReleasedSafely)
{
    com::IClassFactory* factory = nullptr;
    ASSERT_EQ(server->getClassObject(tavorix::CLSID_UserControl1, com::IID_IClassFactory,
                                     reinterpret_cast<void**>(&factory)),
              com::S_OK);
    com::IEmbeddedControl* control = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, com::IID_IEmbeddedControl, reinterpret_cast<void**>(&control)),
              com::S_OK);
    auto* window = new QWidget();
    EXPECT_EQ(control->Activate(window), com::S_OK);
    delete window;  // takes the control's window with it
    int width = 0;
    int height = 0;
    EXPECT_EQ(control->GetExtent(&width, &height), com::E_UNEXPECTED);
    EXPECT_EQ(control->Release(), 0u);
    EXPECT_EQ(server->canUnloadNow(), com::S_OK);
}

TEST_F(TavorixModule, ContainerPlacesTheClockByItsProgramId)
{
    ASSERT_EQ(server->registerServer(), com::S_OK);
    ControlForm form;
    QString error;
    ASSERT_TRUE(form.place("Tavorix.UserControl1", error)) << error.toStdString();
    ASSERT_NE(form.controlWindow(), nullptr);
    QComboBox* style = form.choiceFor(u"Style");
    ASSERT_NE(style, nullptr);
    EXPECT_EQ(style->count(), 3);
    EXPECT_EQ(style->itemText(1), QStringLiteral("Kırmızı"));

    EXPECT_TRUE(form.putProperty(u"Style", std::int32_t{1}, error));
    EXPECT_EQ(form.notices(), QStringList{QStringLiteral("Style changed (0x68030000)")});
    EXPECT_EQ(style->currentIndex(), 1);
    EXPECT_FALSE(form.putProperty(u"Style", std::int32_t{40000}, error));
    EXPECT_EQ(error, QStringLiteral("Error 6: Overflow"));

    form.saveForm();
    EXPECT_TRUE(form.savedForm().entries().empty());
    ASSERT_TRUE(form.restoreForm(error));
    EXPECT_EQ(runtime::toLong(*form.property(u"Style")), 0);

    EXPECT_FALSE(form.place("Nothing.Registered", error));
}

}  // namespace
