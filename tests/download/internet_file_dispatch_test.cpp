#include "download/internet_file.h"
#include "platform/controls/property_bag.h"
#include "platform/runtime/conversions.h"
#include "platform/runtime/runtime_error.h"
#include "tests/support/fake_internet.h"
#include "tests/support/recording_site.h"

#include "tests/support/error_of.h"

#include <gtest/gtest.h>

using controls::PropertyBag;
using runtime::Variant;
namespace dispid = internet_file::dispid;

namespace {

class InternetFileInterface : public testing::Test {
protected:
    InternetFileInterface() { control.setSite(&site); }

    void expectNewInstanceValues() const
    {
        EXPECT_EQ(control.Port(), 80);
        EXPECT_EQ(control.ProxyPort(), 8080);
        EXPECT_EQ(control.ConnectType(), 0);
        EXPECT_EQ(control.Url(), u"");
        EXPECT_EQ(control.LocalFile().kind(), Variant::Kind::String);
        EXPECT_EQ(runtime::toText(control.LocalFile()), u"");
        EXPECT_EQ(control.SiteUser(), u"");
        EXPECT_EQ(control.SitePassword(), u"");
        EXPECT_EQ(control.ProxyServer(), u"");
        EXPECT_EQ(control.ProxyUser(), u"");
        EXPECT_EQ(control.ProxyPassword(), u"");
        EXPECT_EQ(control.FileExists(), runtime::False);
        EXPECT_EQ(control.FileSize(), 0);
        EXPECT_EQ(control.LastModified(), u"");
    }

    std::vector<std::string> log;
    FakeInternet internet{log};
    RecordingSite site{log};
    InternetFile control{internet, [] {}};
};

TEST_F(InternetFileInterface, NewInstanceHasTheInitialValuesAndSendsNoNotice)
{
    control.initNew();
    expectNewInstanceValues();
    EXPECT_TRUE(log.empty());
}

TEST_F(InternetFileInterface, LoadingAnEmptyStoreGivesTheNewInstanceValues)
{
    control.load(PropertyBag());
    expectNewInstanceValues();
}

TEST_F(InternetFileInterface, SavingDefaultsWritesNothingAndPort81WritesOnlyPort)
{
    control.initNew();
    PropertyBag empty;
    control.save(empty);
    EXPECT_TRUE(empty.entries().empty());

    control.setPort(81);
    PropertyBag bag;
    control.save(bag);
    ASSERT_EQ(bag.entries().size(), 1u);
    EXPECT_EQ(bag.entries()[0].first, u"Port");
}

TEST_F(InternetFileInterface, SaveAndReloadKeepsThePersistedEightOnly)
{
    control.initNew();
    control.setConnectType(1);
    control.setProxyUser(u"proxy-user");
    control.setProxyPassword(u"secret");
    control.setUrl(u"http://host/a");
    PropertyBag bag;
    control.save(bag);

    InternetFile reloaded(internet, [] {});
    reloaded.setProxyUser(u"stale");
    reloaded.load(bag);
    EXPECT_EQ(reloaded.ConnectType(), 1);
    EXPECT_EQ(reloaded.Url(), u"http://host/a");
    EXPECT_FALSE(bag.contains(u"ProxyUser"));
    EXPECT_FALSE(bag.contains(u"ProxyPassword"));

    InternetFile fresh(internet, [] {});
    fresh.load(bag);
    EXPECT_EQ(fresh.ProxyUser(), u"");
    EXPECT_EQ(fresh.ProxyPassword(), u"");
}

TEST_F(InternetFileInterface, SavedKeysFollowTheirOrder)
{
    control.setLocalFile(u"f");
    control.setConnectType(2);
    control.setProxyServer(u"p");
    control.setUrl(u"u");
    PropertyBag bag;
    control.save(bag);
    ASSERT_EQ(bag.entries().size(), 4u);
    EXPECT_EQ(bag.entries()[0].first, u"LocalFile");
    EXPECT_EQ(bag.entries()[1].first, u"Url");
    EXPECT_EQ(bag.entries()[2].first, u"ProxyServer");
    EXPECT_EQ(bag.entries()[3].first, u"ConnectType");
}

TEST_F(InternetFileInterface, BadStoredPortFailsTheLoadAfterEarlierValues)
{
    for (const Variant& bad : {Variant(u"abc"), Variant(std::int32_t{40000})}) {
        InternetFile target(internet, [] {});
        PropertyBag bag({{u"Url", u"http://stored/"}, {u"Port", bad}, {u"SiteUser", u"later"}});
        const int number = errorOf([&] { target.load(bag); });
        EXPECT_TRUE(number == 13 || number == 6) << number;
        EXPECT_EQ(target.Url(), u"http://stored/");  // read before the failure
        EXPECT_EQ(target.SiteUser(), u"");           // never reached
    }
}

TEST_F(InternetFileInterface, EverySetterSendsExactlyOneNoticeNamingItsProperty)
{
    control.setLocalFile(u"a");
    control.setConnectType(0);
    control.setUrl(u"");
    control.setPort(80);
    control.setSiteUser(u"");
    control.setSitePassword(u"");
    control.setProxyPort(8080);
    control.setProxyServer(u"");
    control.setProxyUser(u"");
    control.setProxyPassword(u"");
    const std::vector<std::string> expected = {"changed LocalFile",    "changed ConnectType", "changed Url",
                                               "changed Port",         "changed SiteUser",    "changed SitePassword",
                                               "changed ProxyPort",    "changed ProxyServer", "changed ProxyUser",
                                               "changed ProxyPassword"};
    EXPECT_EQ(log, expected);

    log.clear();
    (void)control.Url();
    (void)controls::dispatchGet(control, dispid::Port);
    EXPECT_TRUE(log.empty());
}

TEST_F(InternetFileInterface, LocalFileKeepsTheKindAssigned)
{
    control.setLocalFile(std::int32_t{42});
    EXPECT_EQ(control.LocalFile().kind(), Variant::Kind::Long);
    EXPECT_EQ(runtime::toLong(controls::dispatchGet(control, dispid::LocalFile)), 42);
}

TEST_F(InternetFileInterface, ProxyUserHoldsWhatWasSet)
{
    control.setProxyUser(u"someone");
    EXPECT_EQ(control.ProxyUser(), u"someone");
}

TEST_F(InternetFileInterface, ResizeAlwaysEndsAt570By570Twips)
{
    control.setExtent(1000, 200);
    EXPECT_EQ(control.extentWidth(), 570);
    EXPECT_EQ(control.extentHeight(), 570);
}

TEST_F(InternetFileInterface, DispatchReachesEveryMemberByItsIdentifier)
{
    controls::dispatchPut(control, dispid::Url, u"http://x/");
    controls::dispatchPut(control, dispid::Port, std::int32_t{81});
    controls::dispatchPut(control, dispid::ConnectType, std::int32_t{2});
    controls::dispatchPut(control, dispid::LocalFile, u"/tmp/x");
    controls::dispatchPut(control, dispid::SiteUser, u"u");
    controls::dispatchPut(control, dispid::SitePassword, u"p");
    controls::dispatchPut(control, dispid::ProxyPort, std::int32_t{3128});
    controls::dispatchPut(control, dispid::ProxyServer, u"proxy");
    controls::dispatchPut(control, dispid::ProxyUser, u"pu");
    controls::dispatchPut(control, dispid::ProxyPassword, u"pp");
    EXPECT_EQ(control.Url(), u"http://x/");
    EXPECT_EQ(control.Port(), 81);
    EXPECT_EQ(control.ConnectType(), 2);
    EXPECT_EQ(control.SiteUser(), u"u");
    EXPECT_EQ(control.SitePassword(), u"p");
    EXPECT_EQ(control.ProxyPort(), 3128);
    EXPECT_EQ(control.ProxyServer(), u"proxy");
    EXPECT_EQ(control.ProxyUser(), u"pu");
    EXPECT_EQ(control.ProxyPassword(), u"pp");
    EXPECT_EQ(runtime::toLong(controls::dispatchGet(control, dispid::FileSize)), 0);
    EXPECT_EQ(runtime::toText(controls::dispatchGet(control, dispid::LastModified)), u"");
    EXPECT_EQ(runtime::toBoolean(controls::dispatchGet(control, dispid::FileExists)), runtime::False);

    // Read-only properties refuse a put; private handlers cannot be reached.
    EXPECT_EQ(errorOf([&] { controls::dispatchPut(control, dispid::FileSize, std::int32_t{1}); }), 383);
    for (const auto id : {dispid::UserControl_Resize, dispid::UserControl_InitProperties,
                          dispid::UserControl_ReadProperties, dispid::UserControl_WriteProperties, dispid::RunDownload})
        EXPECT_EQ(errorOf([&] { controls::dispatchCall(control, id); }), 438);
}

TEST_F(InternetFileInterface, PortBeyond16BitsFailsAtTheCallerAndKeepsTheValue)
{
    control.setPort(81);
    log.clear();
    EXPECT_EQ(errorOf([&] { controls::dispatchPut(control, dispid::Port, std::int32_t{40000}); }), 6);
    EXPECT_EQ(control.Port(), 81);
    EXPECT_TRUE(log.empty());
}

TEST(InternetFileIdentifiers, AreThoseOfTheInterface)
{
    EXPECT_EQ(dispid::FileExists, 0x6803000C);
    EXPECT_EQ(dispid::ProxyPassword, 0x68030000);
    EXPECT_EQ(dispid::StartDownload, 0x6003000D);
    EXPECT_EQ(dispid::ResumeDownload, 0x6003000E);
    EXPECT_EQ(dispid::CancelDownload, 0x6003000F);
    EXPECT_EQ(dispid::RunDownload, 0x60030014);
    EXPECT_EQ(dispid::RequestInformation, 0x60030015);
    EXPECT_EQ(internet_file::event::DownloadComplete.number, 1);
    EXPECT_EQ(internet_file::event::DownloadProgress.number, 2);
    EXPECT_EQ(internet_file::event::DownloadError.number, 3);
    EXPECT_EQ(internet_file::event::DownloadCancelled.number, 4);

    // Slot order: property identifiers count down from FileExists to ProxyPassword.
    for (std::size_t i = 0; i + 1 < internet_file::kProperties.size(); ++i)
        EXPECT_EQ(internet_file::kProperties[i].id, 0x6803000C - static_cast<int>(i));
    EXPECT_EQ(internet_file::kProperties.back().id, 0x68030016);
    EXPECT_EQ(internet_file::kProperties[9].description, u"Port of Proxyserver. Default is 8080");
    EXPECT_EQ(internet_file::kProperties[10].description, u"IP or Domainname of Proxyserver");
    EXPECT_EQ(internet_file::kProperties[11].category, u"Connection");
}

}  // namespace
