#pragma once

#include <curl/curl.h>

// The libcurl functions the layer calls, from the library loaded when the first call needs it
// rather than with the program: libcurl and the two dozen libraries it needs took a quarter of
// the updater's start-up. Each is named as curl's own without its "curl_" prefix.
namespace inet {

// clang-format off
#define INET_CURL_FUNCTIONS(FUNCTION)                                                                        \
    FUNCTION(url) FUNCTION(url_set) FUNCTION(url_get) FUNCTION(url_cleanup) FUNCTION(free)                   \
    FUNCTION(slist_append) FUNCTION(slist_free_all) FUNCTION(easy_init) FUNCTION(easy_cleanup)               \
    FUNCTION(easy_setopt) FUNCTION(easy_getinfo) FUNCTION(easy_pause) FUNCTION(multi_init)                   \
    FUNCTION(multi_cleanup) FUNCTION(multi_add_handle) FUNCTION(multi_remove_handle) FUNCTION(multi_poll)    \
    FUNCTION(multi_perform) FUNCTION(multi_info_read)
// clang-format on

struct CurlLibrary {
#define INET_CURL_MEMBER(name) decltype(&::curl_##name) name = nullptr;
    INET_CURL_FUNCTIONS(INET_CURL_MEMBER)
#undef INET_CURL_MEMBER
};

// libcurl, loaded and set up (curl_global_init) at the first call, for the rest of the process.
// Throws runtime::RuntimeError 48 "Error in loading DLL", naming the library, when it cannot be
// loaded or set up; the next call tries again.
const CurlLibrary& curl();

}  // namespace inet
