// Entry points of the codec modules built into the library.
#pragma once

#include "melvox_modules.h"

extern "C" {

int mpeg_codec_module_register(codec_module* table);
// The WAVE codec; its loadable build exports it as codec_module_register.
int wave_codec_module_register(codec_module* table);
}
