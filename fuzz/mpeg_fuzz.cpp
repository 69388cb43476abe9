// Feeds arbitrary bytes to the MPEG audio codec module as a file's contents,
// through the decoder's own input read and seek: preparing (ID3v2, VBR
// headers), the sync search, the reservoir and the layer decoders must play
// or refuse anything without reading or writing out of bounds, and a seek
// half-way must leave the codec able to go on. The seeds hold ID3v2 tags
// and Xing and VBRI headers, so that mutations start from inside them.
#include "codec_fuzz_harness.h"
#include "codecs/codec_modules.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Larger inputs only repeat what smaller ones reach, slowly.
    if (size > 65536)
        return 0;
    fuzzCodec(data, size, {mpeg_codec_module_register, "fuzz.mp3", 256, true});
    return 0;
}
