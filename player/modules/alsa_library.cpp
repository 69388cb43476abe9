#include "alsa_library.h"

#include "library_on_first_use.h"

namespace melvox {

const alsa_library* load_alsa(const char** why)
{
    auto find = [](void* library, alsa_library& f) {
        bool complete = true;
#define MELVOX_ALSA_FIND(name) complete = find_function(library, #name, f.name) && complete;
        MELVOX_ALSA_FUNCTIONS(MELVOX_ALSA_FIND)
#undef MELVOX_ALSA_FIND
        return complete;
    };
    // The library's name with its ABI version (from the build's ALSA).
    return load_library_once<alsa_library>(MELVOX_ALSA_SONAME, find, why);
}

} // namespace melvox
