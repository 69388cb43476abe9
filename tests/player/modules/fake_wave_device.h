// A pretend winmm for the wave output: devices that are busy, missing or
// without a mixer, headers that the test completes when it likes, and a log
// of what the module asked for. Install() makes new wave output instances
// use it; the destructor puts winmm back.
#pragma once

#include "modules/wave_device_win32.h"

#include <cstdint>
#include <string>
#include <vector>

struct FakeWaveDevice {
    FakeWaveDevice();
    ~FakeWaveDevice();
    FakeWaveDevice(const FakeWaveDevice&) = delete;
    FakeWaveDevice& operator=(const FakeWaveDevice&) = delete;

    // The system's devices (the wave mapper comes on top).
    std::vector<std::string> devices{"Fake Speakers", "Fake Headphones"};
    bool capsFail = false;

    // Open: this many busy answers first (-1: busy for ever), then result.
    int busyAnswers = 0;
    MMRESULT openResult = MMSYSERR_NOERROR;
    int openAttempts = 0;
    int opens = 0; // successful ones
    int closes = 0;
    UINT lastDevice = 0;
    WAVEFORMATEX lastFormat{};
    bool isOpen = false;

    // Headers: done at once when autoDone, else when the test completes them
    // (or after completeAfterSleeps sleeps of the module, when not 0).
    bool autoDone = true;
    int completeAfterSleeps = 0;
    MMRESULT prepareResult = MMSYSERR_NOERROR;
    MMRESULT writeResult = MMSYSERR_NOERROR;
    int prepares = 0;
    int unprepares = 0;
    int writes = 0;
    std::vector<WAVEHDR*> pending;
    std::vector<uint8_t> played; // the bytes of every block written, in order
    void completeAll();

    // Position in samples, and whether reading it fails.
    DWORD position = 0;
    bool positionFails = false;

    DWORD volume = 0xffffffff;
    // What a newly opened handle plays at, when not negative (each wave-out
    // handle of Wine's has a volume of its own).
    int64_t volumeAtOpen = -1;
    bool volumeReadFails = false;
    std::vector<DWORD> volumesSet;
    std::vector<std::string> calls; // reset, pause, restart, rate 0x...
    std::vector<DWORD> ratesSet;

    // The mixer: absent when mixerOpenResult is not 0.
    MMRESULT mixerOpenResult = MMSYSERR_NOERROR;
    MMRESULT mixerLineResult = MMSYSERR_NOERROR;
    bool mixerOpen = false;
    DWORD mixerMinimum = 0;
    DWORD mixerMaximum = 65535;
    DWORD mixerValue = 0;
    bool mixerReadFails = false;
    std::vector<DWORD> mixerValuesSet;

    // Sleeps of the module: counted, not slept.
    DWORD sleptMs = 0;
    int sleeps = 0;

    melvox::wave::device_api api{};
};
