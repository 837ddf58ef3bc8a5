#pragma once
// libcurl, loaded when the first request is made: it and the thirty libraries it pulls in would
// otherwise be loaded by every run of the command line, most of which never go online, and each
// run would start about 15 ms later.

#define CURL_DISABLE_TYPECHECK
#include <curl/curl.h>

#include <string>

namespace quill {

struct CurlLibrary {
    decltype(&::curl_easy_init) easy_init;
    decltype(&::curl_easy_cleanup) easy_cleanup;
    decltype(&::curl_easy_setopt) easy_setopt;
    decltype(&::curl_easy_strerror) easy_strerror;
    decltype(&::curl_multi_init) multi_init;
    decltype(&::curl_multi_add_handle) multi_add_handle;
    decltype(&::curl_multi_remove_handle) multi_remove_handle;
    decltype(&::curl_multi_perform) multi_perform;
    decltype(&::curl_multi_poll) multi_poll;
    decltype(&::curl_multi_info_read) multi_info_read;
    decltype(&::curl_multi_cleanup) multi_cleanup;
    decltype(&::curl_slist_append) slist_append;
    decltype(&::curl_slist_free_all) slist_free_all;
    decltype(&::curl_url) url;
    decltype(&::curl_url_set) url_set;
    decltype(&::curl_url_get) url_get;
    decltype(&::curl_url_cleanup) url_cleanup;
    decltype(&::curl_free) free;
};

// The library, loaded and initialised on the first call; null when it cannot be loaded, with
// the reason in `error`.
const CurlLibrary* curlLibrary(std::string& error);

} // namespace quill
