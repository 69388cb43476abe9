// Feeds arbitrary input names to the URL parser and the module's probe.
#include "network_input.h"
#include "url.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string name(reinterpret_cast<const char*>(data), size);
    melvox::net::network_input_probe(name.c_str());
    melvox::net::url u;
    if (melvox::net::parse_url(name.c_str(), &u) == 0) {
        // What a parse gives is always usable: a path, and a host for URLs.
        if (u.scheme != melvox::net::scheme_file && (u.host.empty() || u.path.empty() || u.port == 0))
            __builtin_trap();
    }
    return 0;
}
