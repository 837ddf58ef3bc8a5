#include "platform/CurlLibrary.h"

#include <dlfcn.h>

#include <memory>
#include <utility>

namespace quill {
namespace {

constexpr const char* kLibraryName = "libcurl.so.4";

// Loads the library and finds every function; never unloaded.
std::pair<std::unique_ptr<CurlLibrary>, std::string> load()
{
    void* handle = dlopen(kLibraryName, RTLD_NOW | RTLD_LOCAL);
    if (!handle)
        return {nullptr, std::string("Cannot load ") + kLibraryName + ": " + dlerror()};
    auto library = std::make_unique<CurlLibrary>();
    std::string missing;
    auto find = [&](auto& function, const char* name) {
        function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(dlsym(handle, name));
        if (!function)
            missing = name;
    };
    find(library->easy_init, "curl_easy_init");
    find(library->easy_cleanup, "curl_easy_cleanup");
    find(library->easy_setopt, "curl_easy_setopt");
    find(library->easy_strerror, "curl_easy_strerror");
    find(library->multi_init, "curl_multi_init");
    find(library->multi_add_handle, "curl_multi_add_handle");
    find(library->multi_remove_handle, "curl_multi_remove_handle");
    find(library->multi_perform, "curl_multi_perform");
    find(library->multi_poll, "curl_multi_poll");
    find(library->multi_info_read, "curl_multi_info_read");
    find(library->multi_cleanup, "curl_multi_cleanup");
    find(library->slist_append, "curl_slist_append");
    find(library->slist_free_all, "curl_slist_free_all");
    find(library->url, "curl_url");
    find(library->url_set, "curl_url_set");
    find(library->url_get, "curl_url_get");
    find(library->url_cleanup, "curl_url_cleanup");
    find(library->free, "curl_free");
    using GlobalInit = decltype(&::curl_global_init);
    const auto globalInit = reinterpret_cast<GlobalInit>(dlsym(handle, "curl_global_init"));
    if (!globalInit)
        missing = "curl_global_init";
    if (!missing.empty())
        return {nullptr, std::string(kLibraryName) + " lacks " + missing};
    // Once, before any thread uses the library.
    if (globalInit(CURL_GLOBAL_DEFAULT) != CURLE_OK)
        return {nullptr, std::string(kLibraryName) + " could not be initialised"};
    return {std::move(library), std::string()};
}

} // namespace

const CurlLibrary* curlLibrary(std::string& error)
{
    static const std::pair<std::unique_ptr<CurlLibrary>, std::string> loaded = load();
    error = loaded.second;
    return loaded.first.get();
}

} // namespace quill
