// The info and device notifications that describe a module.
#include "host/module_description.h"

#include <algorithm>
#include <initializer_list>

namespace melvox {
namespace {

player_message describe(int code, std::initializer_list<uint8_t> bytes, const module_info& info)
{
    player_message m{};
    m.code = static_cast<uint32_t>(code);
    unsigned offset = 4;
    for (uint8_t b : bytes)
        player_message_set_byte(&m, offset++, b);
    player_message_set_pointer(&m, 8, info.name);
    player_message_set_pointer(&m, 12, info.description);
    return m;
}

} // namespace

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
    if (int r = post(describe(info_code, {static_cast<uint8_t>(id), static_cast<uint8_t>(devices)}, info)); r < 0)
        return r;
    for (uint32_t i = 0; i < devices; ++i) {
        module_info device{};
        device.index = i;
        if (query(&device, query_device) < 0)
            continue;
        terminate_info(device);
        player_message m = describe(
            device_code, {static_cast<uint8_t>(id), static_cast<uint8_t>(i), static_cast<uint8_t>(device.flags)},
            device);
        if (int r = post(m); r < 0)
            return r;
    }
    return 0;
}

} // namespace melvox
