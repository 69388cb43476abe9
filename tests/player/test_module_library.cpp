// A module library built by the tests: two input modules that describe
// themselves by name, one under the default entry point and one under a
// symbol of its own.
#include "melvox_modules.h"

#include <cstdio>

namespace {

template <const char* Name>
int query(module_info* info, int flags)
{
    if (flags & query_module_name)
        std::snprintf(info->name, sizeof info->name, "%s", Name);
    if (flags & query_device_count)
        info->index = 0;
    return 0;
}

int probe(const char*)
{
    return 0;
}
int make(void** instance, const char*, const module_entry*, decoder*)
{
    static int instance_storage;
    *instance = &instance_storage;
    return 0;
}
int nothing(void*)
{
    return 0;
}
int32_t read_nothing(void*, void*, uint32_t)
{
    return 0;
}

constexpr char library_name[] = "Library Input";
constexpr char other_name[] = "Other Library Input";

void fill(input_module* t, int (*q)(module_info*, int))
{
    *t = input_module{module_interface_version,
                      probe,
                      q,
                      make,
                      nothing,
                      nothing,
                      nothing,
                      read_nothing,
                      nullptr,
                      nullptr,
                      nullptr,
                      nullptr};
}

} // namespace

extern "C" __attribute__((visibility("default"))) int input_module_register(input_module* t)
{
    fill(t, query<library_name>);
    return 0;
}

extern "C" __attribute__((visibility("default"))) int other_input_register(input_module* t)
{
    fill(t, query<other_name>);
    return 0;
}
