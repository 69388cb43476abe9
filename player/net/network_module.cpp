// The network input as an input module of the player: the module table's
// methods are thin wrappers around the network input's functions. All that
// it needs of the decoder goes through the decoder's services: a reporter
// turns its progress, messages and properties into the decoder's reports and
// stream properties under the module's id, its settings come from the
// environment services, and the reply's MIME type is handed to the input.
#include "network_module.h"

#include "net_reporter.h"
#include "network_input.h"

#include <cstdio>
#include <new>

namespace {

using namespace melvox::net;

class decoder_reporter : public net_reporter {
public:
    decoder_reporter(::decoder* owner, int source) : owner_(owner), source_(source) {}

    void progress(int code, int value, const char* text) override
    {
        decoder_services& s = owner_->services;
        s.report_progress(s.report_data, source_, code, value, text);
    }

    void message(int level, const char* message, const char* detail) override
    {
        decoder_services& s = owner_->services;
        s.report_message(s.report_data, source_, level, message, detail);
    }

    // A notify_error from the network input's own source: the caller learns
    // why the stream ended although the decoder saw only its end.
    void error(int code, const char* message, const char* detail) override
    {
        decoder_services& s = owner_->services;
        s.report_error(s.report_data, source_, code, message, detail);
    }

    void property(const char* name, const char* value) override
    {
        owner_->services.property_set_string(owner_, name, value);
    }

private:
    ::decoder* owner_;
    int source_;
};

class decoder_environment : public environment_reader {
public:
    explicit decoder_environment(::decoder* owner) : owner_(owner) {}

    int get_integer(const char* name, int32_t* value) const override
    {
        return owner_->services.environment_get_integer(owner_, name, value);
    }

    int get_string(const char* name, char* buffer, uint32_t size) const override
    {
        return owner_->services.environment_get_string(owner_, name, buffer, size);
    }

private:
    ::decoder* owner_;
};

// One module instance: the network input, and the reporter and environment
// that it uses (which must outlive it).
struct network_module {
    network_module(::decoder* owner, int source) : owner(owner), reporter(owner, source), environment(owner) {}
    ~network_module() { network_input_delete(input); }

    ::decoder* owner;
    decoder_reporter reporter;
    decoder_environment environment;
    network_input* input = nullptr;
};

network_module* of(void* instance)
{
    return static_cast<network_module*>(instance);
}

int query(module_info* info, int flags)
{
    if (info == nullptr)
        return error_invalid_parameters;
    if (flags & query_module_name) {
        std::snprintf(info->name, sizeof info->name, "%s", network_input_name);
        std::snprintf(info->description, sizeof info->description, "%s", network_input_description);
    }
    if (flags & query_device_count)
        info->index = 1;
    if (flags & query_device) {
        const char* name;
        const char* description;
        int32_t device_flags;
        if (int r = network_input_device(static_cast<int>(info->index), &name, &description, &device_flags); r < 0)
            return r;
        info->flags = static_cast<uint32_t>(device_flags);
        std::snprintf(info->name, sizeof info->name, "%s", name);
        std::snprintf(info->description, sizeof info->description, "%s", description);
    }
    return 0;
}

int new_instance(void** instance, const char* name, const module_entry* entry, ::decoder* d)
{
    if (instance == nullptr || d == nullptr)
        return error_invalid_parameters;
    auto m = new (std::nothrow) network_module(d, entry != nullptr ? entry->id : 0);
    if (m == nullptr)
        return error_out_of_memory;
    if (int r = network_input_new(&m->input, name, m->environment, &m->reporter); r < 0) {
        delete m;
        return r;
    }
    *instance = m;
    return 0;
}

int delete_instance(void* instance)
{
    delete of(instance);
    return 0;
}

int open(void* instance)
{
    network_module* m = of(instance);
    int r = network_input_open(m->input, m->environment);
    if (r < 0)
        return r;
    // The reply's Content-Type (or "unknown") chooses the codec.
    r = m->owner->services.input_set_mime_type(m->owner, m->input->mime_type.c_str());
    if (r < 0)
        network_input_close(m->input);
    return r;
}

int close(void* instance)
{
    return network_input_close(of(instance)->input);
}

// n bytes, error_timeout while the buffer refills (the pipeline asks again)
// or error_end_of_input_stream when the stream has ended.
int32_t read(void* instance, void* buffer, uint32_t size)
{
    return network_input_read(of(instance)->input, buffer, size);
}

int seek(void* instance, uint32_t offset)
{
    return network_input_seek(of(instance)->input, offset);
}

uint32_t get_caps(void* instance)
{
    return static_cast<uint32_t>(network_input_get_caps(of(instance)->input));
}

uint32_t get_size(void* instance)
{
    int32_t size = network_input_get_size(of(instance)->input);
    return size > 0 ? static_cast<uint32_t>(size) : 0;
}

} // namespace

extern "C" int network_input_module_register(input_module* t)
{
    if (t == nullptr)
        return error_invalid_parameters;
    if (int r = network_input_start(); r < 0)
        return r;
    t->version = module_interface_version;
    t->probe = network_input_probe;
    t->query = query;
    t->new_instance = new_instance;
    t->delete_instance = delete_instance;
    t->open = open;
    t->close = close;
    t->read = read;
    t->seek = seek;
    t->get_caps = get_caps;
    t->get_size = get_size;
    t->send_message = nullptr;
    return 0;
}
