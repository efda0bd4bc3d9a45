#include "clock/module/server.h"
#include "clock/module/tavorix_library.h"
#include "platform/com/inproc_server.h"
#include "platform/com/module_resources.h"
#include "platform/com/registry.h"
#include "platform/runtime/conversions.h"
#include "tools/tavorix-container/container_form_qt.h"

#include <QFile>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#ifndef TAVORIX_MODULE
#error "TAVORIX_MODULE must name the built module"
#endif

namespace fs = std::filesystem;

// The clock's strip pictures of this executable leave and come back (the resource functions
// live at global scope).
static void removeStripPictures()
{
    Q_CLEANUP_RESOURCE(clock_strips_resources);
}
static void restoreStripPictures()
{
    Q_INIT_RESOURCE(clock_strips_resources);
}

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
    EXPECT_EQ(server->getClassObject(tavorix::GUID_renk, com::IID_IClassFactory, &object),
              com::CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(object, nullptr);

    com::IClassFactory* factory = nullptr;
    ASSERT_EQ(
        server->getClassObject(tavorix::CLSID_UserControl1, com::IID_IClassFactory, reinterpret_cast<void**>(&factory)),
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
    EXPECT_EQ(clock->Invoke(0x12345, controls::InvokeKind::PropertyGet, {}, &value, nullptr),
              com::DISP_E_MEMBERNOTFOUND);

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
    ASSERT_EQ(
        server->getClassObject(tavorix::CLSID_UserControl1, com::IID_IClassFactory, reinterpret_cast<void**>(&factory)),
        com::S_OK);
    com::IEmbeddedControl* control = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, com::IID_IEmbeddedControl, reinterpret_cast<void**>(&control)),
              com::S_OK);
    auto* window = new QWidget();
    EXPECT_EQ(control->Activate(window), com::S_OK);
    delete window;  // takes the control's window with it
    int width = 0;
    int height = 0;
    EXPECT_EQ(control->SetExtent(1500, 600), com::S_OK);
    EXPECT_EQ(control->GetExtent(&width, &height), com::S_OK);  // the extent is the control's own
    EXPECT_EQ(width, 1500);
    QWidget another;
    EXPECT_EQ(control->Activate(&another), com::E_UNEXPECTED);
    EXPECT_EQ(control->Release(), 0u);
    EXPECT_EQ(server->canUnloadNow(), com::S_OK);
}

TEST_F(TavorixModule, ContainerPlacesSizesSavesAndRestoresTheClock)
{
    ASSERT_EQ(server->registerServer(), com::S_OK);
    EXPECT_FALSE(com::findClass("Nothing.Registered").has_value());
    const auto registered = com::findClass("Tavorix.UserControl1");
    ASSERT_TRUE(registered.has_value());
    ContainerForm form;
    QString error;
    ASSERT_TRUE(form.place("Tavorix.UserControl1", *registered, error)) << error.toStdString();
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

    // The container gives the size: 1500 x 600 twips are 100 x 40 pixels.
    EXPECT_EQ(form.controlExtent(), QSize(4800, 3600));
    ASSERT_TRUE(form.setControlSize(QSize(100, 40), error));
    EXPECT_EQ(form.controlExtent(), QSize(1500, 600));
    EXPECT_EQ(form.controlWindow()->size(), QSize(100, 40));

    for (const QSize refused : {QSize(-1, 40), QSize(ContainerForm::kMaxPixels + 1, 40)})
        EXPECT_FALSE(form.setControlSize(refused, error));
    EXPECT_EQ(form.controlExtent(), QSize(1500, 600));

    // A refused Style is never saved: the form restores with the one in force.
    ASSERT_TRUE(form.putProperty(u"Style", std::int32_t{2}, error));
    EXPECT_FALSE(form.putProperty(u"Style", std::int32_t{3}, error));
    form.saveForm();
    ASSERT_TRUE(form.restoreForm(error)) << error.toStdString();
    EXPECT_EQ(runtime::toLong(*form.property(u"Style")), 2);
}

// A file that is not a whole module is refused before it is loaded: the loader would read the
// pages it lacks and take the host down.
TEST_F(TavorixModule, ACutModuleIsRefusedBeforeItIsLoaded)
{
    std::ifstream in(TAVORIX_MODULE, std::ios::binary);
    const std::string module(std::istreambuf_iterator<char>(in), {});
    for (const std::size_t size : {std::size_t{4096}, module.size() / 2, module.size() - 1}) {
        const fs::path cut = m_store / ("cut-" + std::to_string(size) + ".ocx");
        fs::create_directories(m_store);
        std::ofstream(cut, std::ios::binary) << module.substr(0, size);
        std::string error;
        EXPECT_EQ(com::InprocServer::load(cut, error), nullptr);
        EXPECT_EQ(error, cut.string() + " is not a whole module");
    }
    std::string error;
    EXPECT_EQ(com::InprocServer::load("", error), nullptr);
    EXPECT_EQ(error, "no module is named");
}

TEST_F(TavorixModule, ARelativeModulePathLoadsAndRegistersAsAbsolute)
{
    const fs::path here = fs::current_path();
    fs::current_path(fs::path(TAVORIX_MODULE).parent_path());
    std::string error;
    const auto relative = com::InprocServer::load(fs::path(TAVORIX_MODULE).filename(), error);
    fs::current_path(here);
    ASSERT_NE(relative, nullptr) << error;
    ASSERT_EQ(relative->registerServer(), com::S_OK);
    const auto registered = com::findClass("Tavorix.UserControl1");
    ASSERT_TRUE(registered.has_value());
    EXPECT_EQ(registered->module, fs::canonical(TAVORIX_MODULE));
}

TEST_F(TavorixModule, WhatTheStorePromisesCanBeRead)
{
    ASSERT_EQ(server->registerServer(), com::S_OK);
    const com::Registry registry;
    const std::string clsid = tavorix::CLSID_UserControl1.toString();
    const auto library = com::typeLibraryLocation(
        *registry.value("TypeLib\\" + tavorix::LIBID_Tavorix.toString() + "\\11.0\\0\\linux64"));
    const auto bitmap = com::bitmapLocation(*registry.value("CLSID\\" + clsid + "\\ToolboxBitmap32"));
    ASSERT_TRUE(library && bitmap);
    std::string error;
    const auto description = com::readResource(*library, error);
    ASSERT_TRUE(description) << error;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(description->data()), description->size()),
              com::describe(tavorix::typeLibrary()));
    const auto bmp = com::readResource(*bitmap, error);
    ASSERT_TRUE(bmp && bmp->size() > 30) << error;
    EXPECT_EQ(static_cast<int>((*bmp)[18]), 16);  // width
    EXPECT_EQ(static_cast<int>((*bmp)[22]), 15);  // height
    EXPECT_EQ(static_cast<int>((*bmp)[28]), 24);  // bits per pixel
}

// Registering a copy of the module whose folder name holds a line break and a key line.
TEST_F(TavorixModule, AModulePathThatWouldInjectKeysRegistersNothing)
{
    const fs::path folder = m_store / "copy\n[Tavorix.UserControl1\\CLSID]\n@={00000000-0000-0000-0000-000000000000}";
    fs::create_directories(folder);
    fs::copy_file(TAVORIX_MODULE, folder / "tavorix.ocx");
    ASSERT_EQ(server->registerServer(), com::S_OK);
    const std::string before = com::Registry().text();

    std::string error;
    const auto copy = com::InprocServer::load(folder / "tavorix.ocx", error);
    ASSERT_NE(copy, nullptr) << error;
    EXPECT_EQ(copy->registerServer(), com::SELFREG_E_CLASS);
    EXPECT_EQ(com::Registry().text(), before);
    EXPECT_TRUE(com::findClass("Tavorix.UserControl1").has_value());
}

TEST_F(TavorixModule, AStoreOfOtherClassesIsKeptAndAnUnreadableOneLeftAlone)
{
    const fs::path store = com::Registry::defaultLocation();
    EXPECT_EQ(server->unregisterServer(), com::S_OK);
    EXPECT_FALSE(fs::exists(store));  // unregistering from no store writes none
    fs::create_directories(store.parent_path());
    std::ofstream(store, std::ios::binary) << "[Other.Control\\CLSID]\r\n@={11111111-2222-3333-4444-555555555555}\r\n";
    ASSERT_EQ(server->registerServer(), com::S_OK);
    EXPECT_EQ(com::Registry().value("Other.Control\\CLSID"), "{11111111-2222-3333-4444-555555555555}");

    const std::string garbled = "[Other.Control]\n\x01\x02 no key, no value\n";
    std::ofstream(store, std::ios::binary | std::ios::trunc) << garbled;
    testing::internal::CaptureStderr();
    EXPECT_EQ(server->registerServer(), com::SELFREG_E_CLASS);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "tavorix.ocx: the registration store " + store.string()
                                                          + " cannot be read: it is no registration store\n");
    EXPECT_EQ(server->unregisterServer(), com::SELFREG_E_CLASS);
    std::ifstream in(store, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), garbled);
    EXPECT_EQ(std::distance(fs::directory_iterator(store.parent_path()), fs::directory_iterator()), 1);
}

// The module's own copy of the pictures must not be loaded here: no fixture.
TEST(TavorixFactory, AMissingStripPictureFailsTheCreationAlone)
{
    removeStripPictures();
    ASSERT_FALSE(QFile::exists(QStringLiteral(":/tavorix/digits0.bmp")));
    void* object = nullptr;
    EXPECT_EQ(tavorix::userControl1Factory().CreateInstance(nullptr, com::IID_IDispatch, &object), com::E_FAIL);
    EXPECT_EQ(object, nullptr);
    restoreStripPictures();
    EXPECT_EQ(tavorix::userControl1Factory().CreateInstance(nullptr, com::IID_IDispatch, &object), com::S_OK);
    static_cast<com::IDispatch*>(object)->Release();
}

}  // namespace
