#include "clock/module/tavorix_library.h"
#include "platform/com/inproc_server.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

#ifndef TAVORIX_MODULE
#error "TAVORIX_MODULE must name the built module"
#endif

namespace {

// A Qt host that has made no application object yet: the module answers, and never aborts it.
TEST(TavorixWithoutApplication, CreationFailsAndTheHostGoesOn)
{
    ASSERT_EQ(QCoreApplication::instance(), nullptr);
    std::string error;
    const auto server = com::InprocServer::load(TAVORIX_MODULE, error);
    ASSERT_NE(server, nullptr) << error;
    com::IClassFactory* factory = nullptr;
    ASSERT_EQ(
        server->getClassObject(tavorix::CLSID_UserControl1, com::IID_IClassFactory, reinterpret_cast<void**>(&factory)),
        com::S_OK);
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->CreateInstance(nullptr, com::IID_IDispatch, &object), com::E_UNEXPECTED);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(server->canUnloadNow(), com::S_OK);
}

}  // namespace
