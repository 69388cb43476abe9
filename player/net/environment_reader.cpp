#include "environment_reader.h"

#include "melvox.h"

namespace melvox::net {

namespace {

class no_variables : public environment_reader {
public:
    int get_integer(const char*, int32_t*) const override { return error_no_such_variable; }
    int get_string(const char*, char*, uint32_t) const override { return error_no_such_variable; }
};

} // namespace

const environment_reader& empty_environment()
{
    static const no_variables empty;
    return empty;
}

} // namespace melvox::net
