// A network input's environment over a list that the test fills as a caller
// fills the player's environment.
#pragma once

#include "environment_reader.h"
#include "host/named_values.h"

namespace net_test {

class list_environment : public melvox::net::environment_reader {
public:
    explicit list_environment(const melvox::named_value_list& list) : list_(list) {}

    int get_integer(const char* name, int32_t* value) const override { return list_.get_integer(name, value); }
    int get_string(const char* name, char* buffer, uint32_t size) const override
    {
        return list_.get_string(name, buffer, size);
    }

private:
    const melvox::named_value_list& list_;
};

} // namespace net_test
