// The default hook list of player_new.
#include "decoder/decoder.h"
#include "decoder/module_system.h"
#include "codecs/codec_modules.h"
#include "modules/builtin_modules.h"
#include "net/network_module.h"
#include "decoder/decoder_loop.h"

namespace melvox {
namespace {

// The "init-hook" of the default list: it registers the built-in modules in
// their fixed order (file input, network input, file output, sound-device
// output, on Linux with ALSA the ALSA output, MPEG audio codec, and on
// Windows the WAVE codec), which fixes their ids. Probing goes newest first, so a module registered later is offered a
// name before the ones before it. The Linux build registers no WAVE codec;
// callers load it by name (libmelvox-wave.so).
int register_builtin_modules(void*, player_channel*, decoder* d)
{
    auto& p = *static_cast<player_decoder*>(d);
    register_input_module(p, file_input_module_register);    // input 0
    register_input_module(p, network_input_module_register); // input 1
    register_output_module(p, file_output_module_register);  // output 0
#ifdef _WIN32
    register_output_module(p, wave_output_module_register); // output 1: the sound device
#else
    register_output_module(p, oss_output_module_register); // output 1: the sound device
#ifdef MELVOX_WITH_ALSA
    // output 2: ALSA, the sound device where no OSS device exists
    register_output_module(p, alsa_output_module_register);
#endif
#endif
    register_codec_module(p, mpeg_codec_module_register); // codec 0
#ifdef _WIN32
    register_codec_module(p, wave_codec_module_register); // codec 1
#endif
    return 0;
}

const player_hook_pair init_pair = {nullptr, reinterpret_cast<void (*)(void)>(&register_builtin_modules)};
const player_hook default_hooks[] = {{"init-hook", &init_pair, player_hook_type}};
const player_hook_list default_list = {1, default_hooks};

} // namespace

const player_hook_list* default_hook_list()
{
    return &default_list;
}

} // namespace melvox
