// Libraries that the built-in modules open when they first need them (ALSA
// for its sound device) rather than with every program that links the
// player: each costs its relocations and page faults at every start, and most
// programs never use them. (The network input, which builds as a module of
// its own too, loads GnuTLS the same way in gnutls_library.cpp.)
#pragma once

#include <dlfcn.h>

#include <string>

namespace melvox {

// Points function at the library's function of that name; false when the
// library has none.
template <class Function>
bool find_function(void* library, const char* name, Function& function)
{
    function = reinterpret_cast<Function>(dlsym(library, name));
    return function != nullptr;
}

// Opens the library by its name with its ABI version (libasound.so.2) once,
// and fills its functions with find(library, functions), which says whether
// it found them all. The functions, or null with *why set to the reason.
// The library stays loaded.
template <class Functions, class Find>
const Functions* load_library_once(const char* soname, Find find, const char** why)
{
    struct loaded {
        Functions functions{};
        std::string why;
    };
    static const loaded library = [&] {
        loaded l;
        if (void* handle = dlopen(soname, RTLD_NOW | RTLD_LOCAL); handle == nullptr)
            l.why = dlerror();
        else if (!find(handle, l.functions))
            l.why = std::string("a function is missing from ") + soname;
        return l;
    }();
    *why = library.why.empty() ? nullptr : library.why.c_str();
    return library.why.empty() ? &library.functions : nullptr;
}

} // namespace melvox
