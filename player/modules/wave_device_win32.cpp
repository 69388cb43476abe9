#include "wave_device_win32.h"

namespace melvox::wave {
namespace {

const device_api winmm = {
    waveOutGetNumDevs,
    waveOutGetDevCapsA,
    waveOutOpen,
    waveOutClose,
    waveOutPrepareHeader,
    waveOutUnprepareHeader,
    waveOutWrite,
    waveOutReset,
    waveOutPause,
    waveOutRestart,
    waveOutGetPosition,
    waveOutGetVolume,
    waveOutSetVolume,
    waveOutSetPlaybackRate,
    mixerOpen,
    mixerClose,
    mixerGetDevCapsA,
    mixerGetLineInfoA,
    mixerGetLineControlsA,
    mixerGetControlDetailsA,
    mixerSetControlDetails,
    Sleep,
};

const device_api* installed = nullptr;

} // namespace

const device_api& current_device_api()
{
    return installed != nullptr ? *installed : winmm;
}

void use_device_api(const device_api* api)
{
    installed = api;
}

} // namespace melvox::wave
