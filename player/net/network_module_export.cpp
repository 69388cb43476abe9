// The network input as a loadable module: its entry point under the name that
// the player looks up in an input module library.
#include "network_module.h"

extern "C" __attribute__((visibility("default"))) int input_module_register(input_module* table)
{
    return network_input_module_register(table);
}
