// Resolving a module name to a registration entry point in a shared library
// (or at an address given in the name).
#pragma once

#include "melvox_modules.h"

#include <string>

namespace melvox {

using entry_point = void (*)(void);

// The entry point looked up when a name gives only a library, per kind.
const char* default_entry_point_name(int kind);

// "function@" followed by a hexadecimal address: that address.
// "symbol@library": the symbol in that library. Otherwise the whole name is
// the library and the symbol is default_symbol. Libraries stay loaded.
// Empty names (or parts) are error_invalid_parameters, a library that cannot
// be loaded error_library_not_found, a missing symbol error_symbol_not_found;
// why the system refused is put in reason.
int resolve_entry_point(const char* name, const char* default_symbol, entry_point* out, std::string& reason);

} // namespace melvox
