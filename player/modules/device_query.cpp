#include "device_query.h"

#include <cstdio>

int answer_device_query(module_info* info, int flags, const char* module_name, const char* version,
                        const device_description* devices, size_t count)
{
    if (info == nullptr)
        return error_invalid_parameters;
    if (flags & query_module_name) {
        std::snprintf(info->name, sizeof info->name, "%s", module_name);
        std::snprintf(info->description, sizeof info->description, "%s", version);
    }
    if (flags & query_device_count)
        info->index = static_cast<decltype(info->index)>(count);
    if (flags & query_device) {
        if (info->index >= count)
            return error_invalid_parameters;
        const device_description& device = devices[info->index];
        info->flags = device.flags;
        std::snprintf(info->name, sizeof info->name, "%s", device.name);
        std::snprintf(info->description, sizeof info->description, "%s", device.description);
    }
    return 0;
}
