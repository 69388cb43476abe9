// Entry points of the input and output modules built into the library.
#pragma once

#include "melvox_modules.h"

extern "C" {

int file_input_module_register(input_module* table);
int file_output_module_register(output_module* table);
// The sound device of the Linux build: OSS (/dev/dsp).
int oss_output_module_register(output_module* table);
// Whether an OSS device file (/dev/dsp, /dev/dsp0, /dev/dsp1) exists: then
// it is the sound device, else ALSA's default device is.
int oss_device_exists(void);
// ALSA's devices ("alsa:NAME"), and the default sound device where no OSS
// device exists.
int alsa_output_module_register(output_module* table);
// The sound device of the Windows build: winmm's wave-out devices.
int wave_output_module_register(output_module* table);
}
