// Where the network input reads its settings: the player's environment as a
// module reaches it, through the decoder's environment services.
#pragma once

#include <cstdint>

namespace melvox::net {

class environment_reader {
public:
    virtual ~environment_reader() = default;
    // 0 and the value; a negative code when the name is unset or of the
    // other type (*value is then untouched).
    virtual int get_integer(const char* name, int32_t* value) const = 0;
    // 0 and the string copied into buffer (size bytes, cut to fit,
    // NUL-terminated); a negative code as for get_integer.
    virtual int get_string(const char* name, char* buffer, uint32_t size) const = 0;
};

// An environment without variables: every setting keeps its default.
const environment_reader& empty_environment();

} // namespace melvox::net
