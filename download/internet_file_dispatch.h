#pragma once

#include "platform/controls/control_site.h"
#include "platform/controls/dispatch.h"

#include <array>
#include <string_view>

// The public face of InternetFile as its container sees it: dispatch identifiers, events and
// the attributes that a property browser shows.
namespace internet_file {

inline constexpr std::u16string_view kClassId = u"updatelirvanePlus.InternetFile";
// The user agent of every request the control makes.
inline constexpr char kUserAgent[] = "Mozilla/4.0 (compatible; MSIE 5.0; Windows NT; DigExt)";

namespace dispid {
inline constexpr controls::DispId FileExists = 0x6803000C;
inline constexpr controls::DispId LastModified = 0x6803000B;
inline constexpr controls::DispId FileSize = 0x6803000A;
inline constexpr controls::DispId LocalFile = 0x68030009;
inline constexpr controls::DispId ConnectType = 0x68030008;
inline constexpr controls::DispId Url = 0x68030007;
inline constexpr controls::DispId Port = 0x68030006;
inline constexpr controls::DispId SiteUser = 0x68030005;
inline constexpr controls::DispId SitePassword = 0x68030004;
inline constexpr controls::DispId ProxyPort = 0x68030003;
inline constexpr controls::DispId ProxyServer = 0x68030002;
inline constexpr controls::DispId ProxyUser = 0x68030001;
inline constexpr controls::DispId ProxyPassword = 0x68030000;
inline constexpr controls::DispId StartDownload = 0x6003000D;
inline constexpr controls::DispId ResumeDownload = 0x6003000E;
inline constexpr controls::DispId CancelDownload = 0x6003000F;
// Taken by the private handlers in declaration order; not callable from outside.
inline constexpr controls::DispId UserControl_Resize = 0x60030010;
inline constexpr controls::DispId UserControl_InitProperties = 0x60030011;
inline constexpr controls::DispId UserControl_ReadProperties = 0x60030012;
inline constexpr controls::DispId UserControl_WriteProperties = 0x60030013;
inline constexpr controls::DispId RunDownload = 0x60030014;
inline constexpr controls::DispId RequestInformation = 0x60030015;
// Added after the members above, in the next slot.
inline constexpr controls::DispId ResumeValidator = 0x68030016;
}  // namespace dispid

namespace event {
inline constexpr controls::EventInfo DownloadComplete{1, u"DownloadComplete"};
inline constexpr controls::EventInfo DownloadProgress{2, u"DownloadProgress"};
inline constexpr controls::EventInfo DownloadError{3, u"DownloadError"};
inline constexpr controls::EventInfo DownloadCancelled{4, u"DownloadCancelled"};
}  // namespace event

enum class Access { ReadOnly, ReadWrite };

// One property as a property browser lists it, in the interface's slot order.
struct PropertyInfo {
    std::u16string_view name;
    controls::DispId id;
    std::u16string_view type;
    Access access;
    std::u16string_view category;
    std::u16string_view description;
    bool persisted;
};

extern const std::array<PropertyInfo, 14> kProperties;

}  // namespace internet_file
