// The info and device notifications that describe a module.
#include "host/module_description.h"
#include "messages/message_packer.h"

#include <algorithm>

namespace melvox {

void terminate_info(module_info& info)
{
    info.name[sizeof info.name - 1] = '\0';
    info.description[sizeof info.description - 1] = '\0';
}

int describe_module(int id, const module_query& query, int info_code, int device_code,
                    const std::function<int(const player_message&)>& post)
{
    module_info info{};
    if (int r = query(&info, query_module_name | query_device_count); r < 0)
        return r;
    terminate_info(info);
    // Notifications carry the device count and index in a byte.
    uint32_t devices = std::min<uint32_t>(info.index, 255);
    // Every kind's info and device notifications share the input module's rows.
    player_message m = make_notify_input_module_info(static_cast<uint8_t>(id), static_cast<uint8_t>(devices), info.name,
                                                     info.description);
    if (int r = post(recoded(m, info_code)); r < 0)
        return r;
    for (uint32_t i = 0; i < devices; ++i) {
        module_info device{};
        device.index = i;
        if (query(&device, query_device) < 0)
            continue;
        terminate_info(device);
        m = make_notify_input_device_info(static_cast<uint8_t>(id), static_cast<uint8_t>(i),
                                          static_cast<uint8_t>(device.flags), device.name, device.description);
        if (int r = post(recoded(m, device_code)); r < 0)
            return r;
    }
    return 0;
}

} // namespace melvox
