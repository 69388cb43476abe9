#include "fake_wave_device.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

using melvox::wave::use_device_api;

namespace {

FakeWaveDevice* fake = nullptr;
const auto handle = reinterpret_cast<HWAVEOUT>(0x1234);
const auto mixerHandle = reinterpret_cast<HMIXER>(0x5678);

UINT WINAPI fakeDeviceCount()
{
    return static_cast<UINT>(fake->devices.size());
}

MMRESULT WINAPI fakeDeviceCaps(UINT_PTR device, WAVEOUTCAPSA* caps, UINT)
{
    if (fake->capsFail)
        return MMSYSERR_ERROR;
    std::string name = device == WAVE_MAPPER           ? "Fake Mapper"
                       : device < fake->devices.size() ? fake->devices[device]
                                                       : "";
    if (name.empty())
        return MMSYSERR_BADDEVICEID;
    *caps = WAVEOUTCAPSA{};
    std::snprintf(caps->szPname, sizeof caps->szPname, "%s", name.c_str());
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI fakeOpen(HWAVEOUT* out, UINT device, const WAVEFORMATEX* format, DWORD_PTR, DWORD_PTR, DWORD)
{
    ++fake->openAttempts;
    if (fake->busyAnswers != 0) {
        if (fake->busyAnswers > 0)
            --fake->busyAnswers;
        return MMSYSERR_ALLOCATED;
    }
    if (fake->openResult != MMSYSERR_NOERROR)
        return fake->openResult;
    if (device != WAVE_MAPPER && device >= fake->devices.size())
        return MMSYSERR_BADDEVICEID;
    ++fake->opens;
    fake->lastDevice = device;
    fake->lastFormat = *format;
    fake->isOpen = true;
    fake->position = 0;
    if (fake->volumeAtOpen >= 0)
        fake->volume = static_cast<DWORD>(fake->volumeAtOpen);
    *out = handle;
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI fakeClose(HWAVEOUT)
{
    ++fake->closes;
    fake->isOpen = false;
    return fake->pending.empty() ? MMSYSERR_NOERROR : WAVERR_STILLPLAYING;
}

MMRESULT WINAPI fakePrepare(HWAVEOUT, WAVEHDR* header, UINT)
{
    if (fake->prepareResult != MMSYSERR_NOERROR)
        return fake->prepareResult;
    ++fake->prepares;
    header->dwFlags |= WHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI fakeUnprepare(HWAVEOUT, WAVEHDR* header, UINT)
{
    if (std::find(fake->pending.begin(), fake->pending.end(), header) != fake->pending.end())
        return WAVERR_STILLPLAYING;
    ++fake->unprepares;
    header->dwFlags &= ~WHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI fakeWrite(HWAVEOUT, WAVEHDR* header, UINT)
{
    if (fake->writeResult != MMSYSERR_NOERROR)
        return fake->writeResult;
    if (!(header->dwFlags & WHDR_PREPARED))
        return WAVERR_UNPREPARED;
    ++fake->writes;
    header->dwFlags &= ~WHDR_DONE;
    header->dwFlags |= WHDR_INQUEUE;
    const auto* data = reinterpret_cast<const uint8_t*>(header->lpData);
    fake->played.insert(fake->played.end(), data, data + header->dwBufferLength);
    fake->pending.push_back(header);
    if (fake->autoDone)
        fake->completeAll();
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI fakeReset(HWAVEOUT)
{
    fake->calls.push_back("reset");
    fake->completeAll(); // a reset hands every block back
    fake->position = 0;
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI fakePause(HWAVEOUT)
{
    fake->calls.push_back("pause");
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI fakeRestart(HWAVEOUT)
{
    fake->calls.push_back("restart");
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI fakePosition(HWAVEOUT, MMTIME* time, UINT)
{
    if (fake->positionFails)
        return MMSYSERR_ERROR;
    time->wType = TIME_SAMPLES;
    time->u.sample = fake->position;
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI fakeGetVolume(HWAVEOUT, DWORD* volume)
{
    if (fake->volumeReadFails)
        return MMSYSERR_NOTSUPPORTED;
    *volume = fake->volume;
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI fakeSetVolume(HWAVEOUT, DWORD volume)
{
    fake->volume = volume;
    fake->volumesSet.push_back(volume);
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI fakeSetRate(HWAVEOUT, DWORD rate)
{
    fake->ratesSet.push_back(rate);
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI fakeMixerOpen(HMIXER* mixer, UINT id, DWORD_PTR, DWORD_PTR, DWORD flags)
{
    if (fake->mixerOpenResult != MMSYSERR_NOERROR)
        return fake->mixerOpenResult;
    if (flags != MIXER_OBJECTF_HWAVEOUT || id != static_cast<UINT>(reinterpret_cast<UINT_PTR>(handle)))
        return MMSYSERR_INVALHANDLE;
    fake->mixerOpen = true;
    *mixer = mixerHandle;
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI fakeMixerClose(HMIXER)
{
    fake->mixerOpen = false;
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI fakeMixerCaps(UINT_PTR, MIXERCAPSA* caps, UINT)
{
    *caps = MIXERCAPSA{};
    caps->wMid = 1;
    caps->wPid = 2;
    caps->vDriverVersion = 0x0304;
    std::snprintf(caps->szPname, sizeof caps->szPname, "Fake Mixer");
    caps->cDestinations = 1;
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI fakeMixerLine(HMIXEROBJ, MIXERLINEA* line, DWORD)
{
    if (fake->mixerLineResult != MMSYSERR_NOERROR)
        return fake->mixerLineResult;
    if (line->dwComponentType != MIXERLINE_COMPONENTTYPE_DST_SPEAKERS)
        return MIXERR_INVALLINE;
    line->dwLineID = 7;
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI fakeMixerControls(HMIXEROBJ, MIXERLINECONTROLSA* controls, DWORD)
{
    if (controls->dwLineID != 7 || controls->dwControlType != MIXERCONTROL_CONTROLTYPE_VOLUME)
        return MIXERR_INVALCONTROL;
    MIXERCONTROLA& c = *controls->pamxctrl;
    c.dwControlID = 9;
    std::snprintf(c.szName, sizeof c.szName, "Master Volume");
    c.Bounds.dwMinimum = fake->mixerMinimum;
    c.Bounds.dwMaximum = fake->mixerMaximum;
    c.Metrics.cSteps = 100;
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI fakeMixerGet(HMIXEROBJ, MIXERCONTROLDETAILS* details, DWORD)
{
    if (fake->mixerReadFails || details->dwControlID != 9)
        return MMSYSERR_ERROR;
    static_cast<MIXERCONTROLDETAILS_UNSIGNED*>(details->paDetails)->dwValue = fake->mixerValue;
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI fakeMixerSet(HMIXEROBJ, MIXERCONTROLDETAILS* details, DWORD)
{
    if (details->dwControlID != 9 || details->cChannels != 1)
        return MMSYSERR_ERROR;
    fake->mixerValue = static_cast<MIXERCONTROLDETAILS_UNSIGNED*>(details->paDetails)->dwValue;
    fake->mixerValuesSet.push_back(fake->mixerValue);
    return MMSYSERR_NOERROR;
}

void WINAPI fakeSleep(DWORD ms)
{
    fake->sleptMs += ms;
    ++fake->sleeps;
    if (fake->completeAfterSleeps != 0 && fake->sleeps % fake->completeAfterSleeps == 0)
        fake->completeAll();
}

} // namespace

FakeWaveDevice::FakeWaveDevice()
{
    fake = this;
    api = {fakeDeviceCount,   fakeDeviceCaps, fakeOpen,      fakeClose,      fakePrepare,   fakeUnprepare,
           fakeWrite,         fakeReset,      fakePause,     fakeRestart,    fakePosition,  fakeGetVolume,
           fakeSetVolume,     fakeSetRate,    fakeMixerOpen, fakeMixerClose, fakeMixerCaps, fakeMixerLine,
           fakeMixerControls, fakeMixerGet,   fakeMixerSet,  fakeSleep};
    use_device_api(&api);
}

FakeWaveDevice::~FakeWaveDevice()
{
    use_device_api(nullptr);
    fake = nullptr;
}

void FakeWaveDevice::completeAll()
{
    for (WAVEHDR* header : pending) {
        header->dwFlags &= ~WHDR_INQUEUE;
        header->dwFlags |= WHDR_DONE;
        position += header->dwBufferLength / std::max<DWORD>(lastFormat.nBlockAlign, 1);
    }
    pending.clear();
}
