// The winmm calls that the wave output makes, as a table of function
// pointers. The library uses the real winmm functions; tests install a table
// of their own to play a device that is busy, has no mixer or counts its
// opens, without depending on the machine's sound hardware.
#pragma once

#include <windows.h>
#include <mmsystem.h>

namespace melvox::wave {

struct device_api {
    UINT(WINAPI* get_device_count)();
    MMRESULT(WINAPI* get_device_caps)(UINT_PTR device, WAVEOUTCAPSA* caps, UINT size);
    MMRESULT(WINAPI* open)
    (HWAVEOUT* handle, UINT device, const WAVEFORMATEX* format, DWORD_PTR callback, DWORD_PTR callback_data,
     DWORD flags);
    MMRESULT(WINAPI* close)(HWAVEOUT handle);
    MMRESULT(WINAPI* prepare)(HWAVEOUT handle, WAVEHDR* header, UINT size);
    MMRESULT(WINAPI* unprepare)(HWAVEOUT handle, WAVEHDR* header, UINT size);
    MMRESULT(WINAPI* write)(HWAVEOUT handle, WAVEHDR* header, UINT size);
    MMRESULT(WINAPI* reset)(HWAVEOUT handle);
    MMRESULT(WINAPI* pause)(HWAVEOUT handle);
    MMRESULT(WINAPI* restart)(HWAVEOUT handle);
    MMRESULT(WINAPI* get_position)(HWAVEOUT handle, MMTIME* time, UINT size);
    MMRESULT(WINAPI* get_volume)(HWAVEOUT handle, DWORD* volume);
    MMRESULT(WINAPI* set_volume)(HWAVEOUT handle, DWORD volume);
    MMRESULT(WINAPI* set_playback_rate)(HWAVEOUT handle, DWORD rate);

    MMRESULT(WINAPI* mixer_open)(HMIXER* mixer, UINT id, DWORD_PTR callback, DWORD_PTR callback_data, DWORD flags);
    MMRESULT(WINAPI* mixer_close)(HMIXER mixer);
    MMRESULT(WINAPI* mixer_get_caps)(UINT_PTR id, MIXERCAPSA* caps, UINT size);
    MMRESULT(WINAPI* mixer_get_line)(HMIXEROBJ mixer, MIXERLINEA* line, DWORD flags);
    MMRESULT(WINAPI* mixer_get_line_controls)(HMIXEROBJ mixer, MIXERLINECONTROLSA* controls, DWORD flags);
    MMRESULT(WINAPI* mixer_get_details)(HMIXEROBJ mixer, MIXERCONTROLDETAILS* details, DWORD flags);
    MMRESULT(WINAPI* mixer_set_details)(HMIXEROBJ mixer, MIXERCONTROLDETAILS* details, DWORD flags);

    void(WINAPI* sleep)(DWORD milliseconds);
};

// The table that instances made from now on use: winmm's, unless a test has
// installed its own.
const device_api& current_device_api();
// Installs a table (the caller keeps it alive); null restores winmm's.
void use_device_api(const device_api* api);

} // namespace melvox::wave
