#include "gnutls_library.h"

#include "host/library_on_first_use.h"

namespace melvox::net {

const gnutls_library* load_gnutls(const char** why)
{
    auto find = [](void* library, gnutls_library& f) {
        bool complete = true;
#define MELVOX_GNUTLS_FIND(name) complete = find_function(library, #name, f.name) && complete;
        MELVOX_GNUTLS_FUNCTIONS(MELVOX_GNUTLS_FIND)
#undef MELVOX_GNUTLS_FIND
        // gnutls_free is a variable holding the library's deallocator.
        void (**free_function)(void*) = nullptr;
        complete = find_function(library, "gnutls_free", free_function) && *free_function != nullptr && complete;
        f.free = complete ? *free_function : nullptr;
        return complete;
    };
    // The library's name with its ABI version (from the build's GnuTLS).
    return load_library_once<gnutls_library>(MELVOX_GNUTLS_SONAME, find, why);
}

} // namespace melvox::net
