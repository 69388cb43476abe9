// The WAVE codec as a loadable module: its entry point under the name that
// the player looks up in a codec library.
#include "codec_modules.h"

extern "C" __attribute__((visibility("default"))) int codec_module_register(codec_module* table)
{
    return wave_codec_module_register(table);
}
