#include "download/internet_file_dispatch.h"

namespace internet_file {

const std::array<PropertyInfo, 14> kProperties = {{
    {u"FileExists", dispid::FileExists, u"Boolean", Access::ReadOnly, u"", u"", false},
    {u"LastModified", dispid::LastModified, u"String", Access::ReadOnly, u"", u"", false},
    {u"FileSize", dispid::FileSize, u"Long", Access::ReadOnly, u"", u"", false},
    {u"LocalFile", dispid::LocalFile, u"Variant", Access::ReadWrite, u"Download", u"", true},
    {u"ConnectType", dispid::ConnectType, u"Long", Access::ReadWrite, u"", u"", true},
    {u"Url", dispid::Url, u"String", Access::ReadWrite, u"Download", u"", true},
    {u"Port", dispid::Port, u"Integer", Access::ReadWrite, u"Download", u"", true},
    {u"SiteUser", dispid::SiteUser, u"String", Access::ReadWrite, u"Download", u"", true},
    {u"SitePassword", dispid::SitePassword, u"String", Access::ReadWrite, u"Download", u"", true},
    {u"ProxyPort", dispid::ProxyPort, u"Integer", Access::ReadWrite, u"Connection",
     u"Port of Proxyserver. Default is 8080", true},
    {u"ProxyServer", dispid::ProxyServer, u"String", Access::ReadWrite, u"Connection",
     u"IP or Domainname of Proxyserver", true},
    {u"ProxyUser", dispid::ProxyUser, u"String", Access::ReadWrite, u"Connection", u"", false},
    {u"ProxyPassword", dispid::ProxyPassword, u"String", Access::ReadWrite, u"Connection", u"", false},
    {u"ResumeValidator", dispid::ResumeValidator, u"String", Access::ReadWrite, u"Download",
     u"Validator (ETag or Last-Modified) of the bytes LocalFile holds", false},
}};

}  // namespace internet_file
