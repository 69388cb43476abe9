// Where the programs (melvox-play, vexa-linux) find the module libraries
// that they load by default.
#pragma once

#include <string>

// The first existing file of this name next to the executable, in ../lib or
// ../lib/melvox from it, or in the build tree's module folder; empty when
// there is none.
std::string find_module_library(const std::string& file);
