// The query answer of a module with a fixed list of devices: its name and
// version, the number of devices, and one device by index.
#pragma once

#include "melvox_modules.h"

#include <cstddef>
#include <cstdint>

struct device_description {
    const char* name;
    const char* description;
    uint32_t flags;
};

int answer_device_query(module_info* info, int flags, const char* module_name, const char* version,
                        const device_description* devices, size_t count);

template <size_t N>
int answer_device_query(module_info* info, int flags, const char* module_name, const char* version,
                        const device_description (&devices)[N])
{
    return answer_device_query(info, flags, module_name, version, devices, N);
}
