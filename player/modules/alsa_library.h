// ALSA's library, loaded when the ALSA output first opens a device rather
// than with every program that links the player.
#pragma once

#include <alsa/asoundlib.h>

namespace melvox {

// The ALSA functions the ALSA output uses, named as in ALSA.
#define MELVOX_ALSA_FUNCTIONS(X)                                                                                       \
    X(snd_lib_error_set_handler)                                                                                       \
    X(snd_pcm_close)                                                                                                   \
    X(snd_pcm_delay)                                                                                                   \
    X(snd_pcm_drain)                                                                                                   \
    X(snd_pcm_drop)                                                                                                    \
    X(snd_pcm_hw_params_can_pause)                                                                                     \
    X(snd_pcm_hw_params_current)                                                                                       \
    X(snd_pcm_hw_params_free)                                                                                          \
    X(snd_pcm_hw_params_malloc)                                                                                        \
    X(snd_pcm_open)                                                                                                    \
    X(snd_pcm_pause)                                                                                                   \
    X(snd_pcm_prepare)                                                                                                 \
    X(snd_pcm_recover)                                                                                                 \
    X(snd_pcm_set_params)                                                                                              \
    X(snd_pcm_state)                                                                                                   \
    X(snd_pcm_writei)                                                                                                  \
    X(snd_strerror)

struct alsa_library {
#define MELVOX_ALSA_POINTER(name) decltype(&::name) name;
    MELVOX_ALSA_FUNCTIONS(MELVOX_ALSA_POINTER)
#undef MELVOX_ALSA_POINTER
};

// The loaded library, or null when it cannot be loaded (then why is set to
// the loader's reason). Loaded once; it stays loaded.
const alsa_library* load_alsa(const char** why);

} // namespace melvox
