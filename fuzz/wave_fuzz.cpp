// Feeds arbitrary bytes to the WAVE codec as a file's contents, through the
// decoder's own input read and seek: the header parser and the decode loop
// must refuse or play anything without reading or writing out of bounds.
#include "codec_fuzz_harness.h"
#include "codecs/codec_modules.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzzCodec(data, size, {wave_codec_module_register, "fuzz.wav", 64, false});
    return 0;
}
