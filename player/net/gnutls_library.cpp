#include "gnutls_library.h"

#include <dlfcn.h>

namespace melvox::net {

namespace {

struct loaded {
    gnutls_library functions{};
    const char* why = nullptr;
};

loaded load()
{
    loaded result;
    // The library's name with its ABI version (from the build's GnuTLS).
    void* handle = dlopen(MELVOX_GNUTLS_SONAME, RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        result.why = dlerror();
        return result;
    }
    gnutls_library& f = result.functions;
    bool complete = true;
#define MELVOX_GNUTLS_RESOLVE(name)                                                                                    \
    f.name = reinterpret_cast<decltype(f.name)>(dlsym(handle, #name));                                                 \
    complete = complete && f.name != nullptr;
    MELVOX_GNUTLS_FUNCTIONS(MELVOX_GNUTLS_RESOLVE)
#undef MELVOX_GNUTLS_RESOLVE
    // gnutls_free is a variable holding the library's deallocator.
    auto free_function = static_cast<void (**)(void*)>(dlsym(handle, "gnutls_free"));
    if (!complete || free_function == nullptr || *free_function == nullptr) {
        result.why = "a function is missing from " MELVOX_GNUTLS_SONAME;
        return result;
    }
    f.free = *free_function;
    return result;
}

} // namespace

const gnutls_library* load_gnutls(const char** why)
{
    static const loaded library = load();
    *why = library.why;
    return library.why == nullptr ? &library.functions : nullptr;
}

} // namespace melvox::net
