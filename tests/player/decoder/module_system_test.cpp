// The module system inside a decoder of the test's own process: registration
// checks, ids and probing, device queries, filter chains and loading by name.
#include "decoder/decoder.h"
#include "fake_modules.h"
#include "decoder/commands.h"
#include "decoder/module_system.h"
#include "decoder/pipeline.h"
#include "codecs/codec_modules.h"
#include "modules/builtin_modules.h"
#include "recording_channel.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <utility>
#include <string>

using namespace melvox;

namespace {

std::string text(const player_message* m, unsigned offset)
{
    auto s = static_cast<const char*>(player_message_pointer(m, offset));
    return s != nullptr ? s : "(null)";
}

std::string functionName(void* address)
{
    char name[64];
    std::snprintf(name, sizeof name, "function@%llx",
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(address)));
    return name;
}

// Entry points whose tables are changed by a test before registration.
std::function<void(input_module&)> changeInput;
std::function<void(output_module&)> changeOutput;
std::function<void(codec_module&)> changeCodec;

extern "C" int changed_input(input_module* t)
{
    memory_input_register(t);
    changeInput(*t);
    return 0;
}
extern "C" int changed_output(output_module* t)
{
    recording_output_register(t);
    changeOutput(*t);
    return 0;
}
extern "C" int changed_codec(codec_module* t)
{
    scripted_codec_register(t);
    changeCodec(*t);
    return 0;
}

class ModuleSystem : public ::testing::Test {
protected:
    void SetUp() override { resetFakeModules(); }

    std::string lastDebug() const
    {
        auto all = channel.all(notify_debug);
        return all.empty() ? "(none)" : text(all.back(), 8);
    }

    RecordingChannel channel;
    player_decoder d{channel};
};

TEST_F(ModuleSystem, AVersionWordWithOtherInterfaceBitsIsRefused)
{
    for (uintptr_t version : {uintptr_t{0x00040500}, uintptr_t{0x00030400}, uintptr_t{0x00140400}}) {
        changeInput = [=](input_module& t) { t.version = version; };
        changeOutput = [=](output_module& t) { t.version = version; };
        changeCodec = [=](codec_module& t) { t.version = version; };
        EXPECT_EQ(register_input_module(d, changed_input), error_version_mismatch) << std::hex << version;
        EXPECT_EQ(register_output_module(d, changed_output), error_version_mismatch);
        EXPECT_EQ(register_codec_module(d, changed_codec), error_version_mismatch);
    }
    // Bits 0..7 and from 24 on are not compared.
    changeInput = [](input_module& t) { t.version = 0x010404ff; };
    EXPECT_EQ(register_input_module(d, changed_input), 0);
    EXPECT_EQ(d.input_modules.count(), 1);
    EXPECT_EQ(d.output_modules.count(), 0);
    EXPECT_EQ(d.codec_modules.count(), 0);
}

TEST_F(ModuleSystem, EachMissingRequiredMethodIsNamedAndRefused)
{
    const std::string missingNew = "internal error (null 'new' method in module)";
    struct InputCase {
        std::function<void(input_module&)> change;
        std::string message;
    };
    for (const InputCase& c : std::initializer_list<InputCase>{
             {[](input_module& t) { t.new_instance = nullptr; }, missingNew},
             {[](input_module& t) { t.delete_instance = nullptr; }, missingNew},
             {[](input_module& t) { t.open = nullptr; }, "internal error (null 'open' method in module)"},
             {[](input_module& t) { t.close = nullptr; }, "internal error (null 'close' method in module)"},
             {[](input_module& t) { t.read = nullptr; }, "internal error (null 'read' method in module)"}}) {
        changeInput = c.change;
        EXPECT_EQ(register_input_module(d, changed_input), error_internal);
        EXPECT_EQ(lastDebug(), c.message);
    }
    changeOutput = [](output_module& t) { t.delete_instance = nullptr; };
    EXPECT_EQ(register_output_module(d, changed_output), error_internal);
    EXPECT_EQ(lastDebug(), missingNew);
    changeOutput = [](output_module& t) { t.write = nullptr; };
    EXPECT_EQ(register_output_module(d, changed_output), error_internal);
    EXPECT_EQ(lastDebug(), "internal error (null 'write' method in module)");

    // Codecs: query is checked first, then probe, new, delete and decode.
    changeCodec = [](codec_module& t) {
        t.query = nullptr;
        t.probe = nullptr;
    };
    EXPECT_EQ(register_codec_module(d, changed_codec), error_internal);
    EXPECT_EQ(lastDebug(), "internal error (null 'query' method)");
    changeCodec = [](codec_module& t) { t.probe = nullptr; };
    EXPECT_EQ(register_codec_module(d, changed_codec), error_internal);
    EXPECT_EQ(lastDebug(), "internal error (null 'probe' method in module)");
    changeCodec = [](codec_module& t) { t.decode = nullptr; };
    EXPECT_EQ(register_codec_module(d, changed_codec), error_internal);
    EXPECT_EQ(lastDebug(), "internal error (null 'decode' method in module)");

    // Optional methods may be missing; a failed registration left no entry.
    changeInput = [](input_module& t) { t.seek = nullptr, t.get_caps = nullptr, t.get_size = nullptr; };
    EXPECT_EQ(register_input_module(d, changed_input), 0);
    EXPECT_EQ(d.input_modules.count(), 1);
    EXPECT_EQ(d.output_modules.count(), 0);
    EXPECT_EQ(d.codec_modules.count(), 0);
}

TEST_F(ModuleSystem, IdsCountUpAndTheNewestModuleIsAskedFirst)
{
    EXPECT_EQ(register_input_module(d, memory_input_register), 0);
    EXPECT_EQ(register_input_module(d, file_input_module_register), 1);
    const module_entry* e = nullptr;
    ASSERT_EQ(select_input_module(d, "song.wav", -1, &e), 0);
    EXPECT_EQ(e->id, 1); // both take every name: the newer one wins
    ASSERT_EQ(select_input_module(d, "song.wav", 0, &e), 0);
    EXPECT_EQ(e->id, 0);
    EXPECT_EQ(select_input_module(d, "song.wav", 2, &e), error_plugin_module_not_found);

    // A module that declines is passed over; nobody taking a name is its own error.
    changeInput = [](input_module& t) { t.probe = [](const char*) { return -1; }; };
    EXPECT_EQ(register_input_module(d, changed_input), 2);
    ASSERT_EQ(select_input_module(d, "x", -1, &e), 0);
    EXPECT_EQ(e->id, 1);
    RecordingChannel other;
    player_decoder empty{other};
    register_input_module(empty, changed_input);
    EXPECT_EQ(select_input_module(empty, "x", -1, &e), error_unsupported_input_type);
    changeOutput = [](output_module& t) { t.probe = [](const char*) { return -1; }; };
    register_output_module(empty, changed_output);
    EXPECT_EQ(select_output_module(empty, "x", -1, &e), error_unsupported_output_type);

    // A codec is probed with the MIME type, "audio/unknown" when there is none.
    static std::string probedMime;
    changeCodec = [](codec_module& t) {
        t.probe = [](const char* mime, const char*) {
            probedMime = mime;
            return -1;
        };
    };
    register_codec_module(empty, changed_codec);
    EXPECT_EQ(select_codec_module(empty, "", "x.mp3", -1, &e), error_no_codec_found);
    EXPECT_EQ(probedMime, "audio/unknown");
    EXPECT_EQ(select_codec_module(empty, "audio/mpeg", "x.mp3", -1, &e), error_no_codec_found);
    EXPECT_EQ(probedMime, "audio/mpeg");
    // An explicit id is taken without probing.
    ASSERT_EQ(select_codec_module(empty, "audio/mpeg", "x.mp3", 0, &e), 0);
    EXPECT_EQ(e->id, 0);
}

TEST_F(ModuleSystem, QueriesDescribeTheModuleThenEachDevice)
{
    register_input_module(d, file_input_module_register);
    changeOutput = [](output_module& t) { t.query = nullptr; };
    register_output_module(d, changed_output);

    ASSERT_EQ(query_module(d, module_kind_input, 0), 0);
    auto module = channel.find(notify_input_module_info);
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(player_message_byte(module, 4), 0);
    EXPECT_EQ(player_message_byte(module, 5), 2);
    EXPECT_EQ(text(module, 8), "Input From File");
    EXPECT_EQ(text(module, 12), "Version 1.2");
    auto devices = channel.all(notify_input_device_info);
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(player_message_byte(devices[0], 5), 0);
    EXPECT_EQ(player_message_byte(devices[0], 6), device_is_pattern);
    EXPECT_EQ(text(devices[0], 8), "*");
    EXPECT_EQ(text(devices[0], 12), "any file name");
    EXPECT_EQ(player_message_byte(devices[1], 5), 1);
    EXPECT_EQ(player_message_byte(devices[1], 6), 0);
    EXPECT_EQ(text(devices[1], 8), "-");
    EXPECT_EQ(text(devices[1], 12), "standard input");
    channel.clear();

    // Without a query method a module is "unknown" with one pattern device.
    ASSERT_EQ(query_module(d, module_kind_output, 0), 0);
    module = channel.find(notify_output_module_info);
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(text(module, 8), "unknown module name");
    EXPECT_EQ(player_message_byte(module, 5), 1);
    auto device = channel.all(notify_output_device_info);
    ASSERT_EQ(device.size(), 1u);
    EXPECT_EQ(text(device[0], 8), "unknown device name");
    EXPECT_EQ(player_message_byte(device[0], 6), device_is_pattern);
    module_info info{};
    info.index = 1;
    EXPECT_EQ(default_module_query(&info, query_device), error_invalid_parameters);

    EXPECT_EQ(query_module(d, module_kind_input, 1), error_plugin_module_not_found);
    EXPECT_EQ(query_module(d, module_kind_codec, 0), error_plugin_module_not_found);
}

TEST_F(ModuleSystem, ListingSkipsModulesWhoseQueryFails)
{
    register_codec_module(d, scripted_codec_register);
    changeCodec = [](codec_module& t) { t.query = [](codec_module_info*, int) { return -1; }; };
    register_codec_module(d, changed_codec);
    register_codec_module(d, wave_codec_module_register);
    ASSERT_EQ(list_modules(d, module_kind_codec), 0);
    auto modules = channel.all(notify_codec_module_info);
    ASSERT_EQ(modules.size(), 2u);
    EXPECT_EQ(player_message_byte(modules[0], 4), 0);
    EXPECT_EQ(text(modules[0], 8), "Scripted Codec");
    EXPECT_EQ(player_message_byte(modules[1], 4), 2);
    EXPECT_EQ(text(modules[1], 8), "WAVE Audio Codec");
    EXPECT_EQ(text(modules[1], 12), "Version 1.0");
    auto devices = channel.all(notify_codec_device_info);
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(text(devices[1], 8), "any wav stream");
}

// ---- Filters ------------------------------------------------------------------

int filterDeletes = 0;
int failNextFilterNew = 0;

template <int Tag>
int namedFilterQuery(module_info* info, int flags)
{
    if (flags & query_module_name)
        std::snprintf(info->name, sizeof info->name, "filter %d", Tag);
    return 0;
}

template <int Tag>
int plainInputFilter(input_filter_module* t)
{
    t->version = module_interface_version;
    t->query = namedFilterQuery<Tag>;
    t->new_instance = [](void** instance, int, decoder*) {
        if (failNextFilterNew != 0)
            return std::exchange(failNextFilterNew, 0);
        *instance = nullptr;
        return 0;
    };
    t->delete_instance = [](void*) {
        ++filterDeletes;
        return 0;
    };
    return 0;
}

// Reads through the chain and turns every byte over; everything else is
// left to the pass-throughs.
int invertingFilter(input_filter_module* t)
{
    plainInputFilter<9>(t);
    t->read = [](input_filter_node* node, void* buffer, uint32_t size) {
        int32_t r = node->next->table.read(node->next, buffer, size);
        for (int32_t i = 0; i < r; ++i)
            static_cast<uint8_t*>(buffer)[i] ^= 0xff;
        return r;
    };
    return 0;
}

std::vector<int> chainIds(player_decoder& d)
{
    std::vector<int> ids;
    for (input_filter_node* n = d.input_chain.head(); n != nullptr; n = n->next)
        ids.push_back(n->id);
    return ids;
}

class FilterChain : public ModuleSystem {
protected:
    void SetUp() override
    {
        ModuleSystem::SetUp();
        filterDeletes = 0;
    }
};

TEST_F(FilterChain, FiltersAddedAtTheHeadGetIdsInOrderAndReuseFreedOnes)
{
    for (int expected : {1, 2, 3})
        EXPECT_EQ(add_input_filter(d, plainInputFilter<1>, -1), expected);
    EXPECT_EQ(chainIds(d), (std::vector<int>{3, 2, 1, 0}));
    EXPECT_EQ(d.input_chain.remove(nullptr, 2), 3); // the head's id comes back
    EXPECT_EQ(filterDeletes, 1);
    EXPECT_EQ(add_input_filter(d, plainInputFilter<1>, -1), 2);
    EXPECT_EQ(chainIds(d), (std::vector<int>{2, 3, 1, 0}));
}

TEST_F(FilterChain, PositionsNameTheNodeThatTheFilterGoesInFrontOf)
{
    EXPECT_EQ(add_input_filter(d, plainInputFilter<1>, 0), 1); // in front of the module
    EXPECT_EQ(add_input_filter(d, plainInputFilter<2>, 1), 2); // 1 also means the module
    EXPECT_EQ(chainIds(d), (std::vector<int>{1, 2, 0}));
    EXPECT_EQ(add_input_filter(d, plainInputFilter<3>, 2), 3); // in front of filter 2
    EXPECT_EQ(chainIds(d), (std::vector<int>{1, 3, 2, 0}));
    EXPECT_EQ(add_input_filter(d, plainInputFilter<4>, 77), 4); // no such filter: the module
    EXPECT_EQ(chainIds(d), (std::vector<int>{1, 3, 2, 4, 0}));
    EXPECT_EQ(add_input_filter(d, plainInputFilter<5>, -2), error_invalid_parameters);
    EXPECT_EQ(add_input_filter(
                  d,
                  [](input_filter_module* t) {
                      t->version = module_interface_version;
                      return 0;
                  },
                  -1),
              error_invalid_parameters); // no query method
    failNextFilterNew = error_out_of_memory;
    EXPECT_EQ(add_input_filter(d, plainInputFilter<6>, -1), error_out_of_memory);
    EXPECT_EQ(chainIds(d), (std::vector<int>{1, 3, 2, 4, 0}));
}

TEST_F(FilterChain, RemovalByNameHeadOrLastAndNeverTheModule)
{
    add_input_filter(d, plainInputFilter<1>, -1);
    add_input_filter(d, plainInputFilter<2>, -1);
    add_input_filter(d, plainInputFilter<3>, -1);
    add_input_filter(d, plainInputFilter<4>, -1); // chain 4 3 2 1
    EXPECT_EQ(d.input_chain.remove("filter 2", -2), 4);
    EXPECT_EQ(chainIds(d), (std::vector<int>{4, 3, 1, 0}));
    EXPECT_EQ(d.input_chain.remove("", -2), error_invalid_parameters);
    EXPECT_EQ(d.input_chain.remove("filter 9", -2), error_plugin_module_not_found);
    EXPECT_EQ(d.input_chain.remove(nullptr, 0), 4); // the one in front of the module
    EXPECT_EQ(chainIds(d), (std::vector<int>{4, 3, 0}));
    EXPECT_EQ(d.input_chain.remove(nullptr, -1), 3); // the head
    EXPECT_EQ(d.input_chain.remove(nullptr, 8), error_plugin_module_not_found);
    EXPECT_EQ(d.input_chain.remove(nullptr, -1), 0);
    EXPECT_EQ(d.input_chain.remove(nullptr, -1), error_plugin_module_not_found); // only the module is left
    EXPECT_EQ(d.input_chain.remove(nullptr, 0), error_plugin_module_not_found);
    EXPECT_EQ(filterDeletes, 4);
}

TEST_F(FilterChain, NullSlotsPassEveryCallOnToTheModule)
{
    memoryInput.bytes = {1, 2, 3, 4, 5, 6};
    register_input_module(d, memory_input_register);
    register_codec_module(d, scripted_codec_register);
    add_input_filter(d, invertingFilter, -1);
    add_input_filter(d, plainInputFilter<2>, -1);
    ASSERT_EQ(input_new(d, "memory", -1), 0);
    input_filter_node* head = d.input_chain.head();
    ASSERT_EQ(head->table.open(head), 0);
    EXPECT_EQ(memoryInput.opens, 1);
    EXPECT_EQ(head->table.get_size(head), 6u);
    EXPECT_EQ(head->table.get_caps(head), static_cast<uint32_t>(input_caps_seekable));
    EXPECT_EQ(head->table.seek(head, 2), 0);
    EXPECT_EQ(memoryInput.seeks, (std::vector<uint32_t>{2}));
    uint8_t bytes[3];
    ASSERT_EQ(head->table.read(head, bytes, 3), 3);
    EXPECT_EQ(std::vector<uint8_t>(bytes, bytes + 3), (std::vector<uint8_t>{0xfc, 0xfb, 0xfa}));
    EXPECT_EQ(head->table.send_message(head, 1, 0, nullptr), error_no_such_interface); // the module has none
    EXPECT_EQ(head->table.close(head), 0);
    EXPECT_EQ(memoryInput.closes, 1);
}

TEST_F(FilterChain, OutputFiltersSeeEveryWriteOnItsWay)
{
    static std::vector<uint32_t> seen;
    seen.clear();
    register_output_module(d, recording_output_register);
    add_output_filter(
        d,
        [](output_filter_module* t) {
            t->version = module_interface_version;
            t->query = namedFilterQuery<7>;
            t->write = [](output_filter_node* n, const void* b, uint32_t bytes, int bps, int ch, int rate) {
                seen.push_back(bytes);
                return n->next->table.write(n->next, b, bytes, bps, ch, rate);
            };
            return 0;
        },
        -1);
    ASSERT_EQ(output_new(d, "out", -1), 0);
    ASSERT_EQ(output_open(d), 0);
    output_filter_node* head = d.output_chain.head();
    uint8_t pcm[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(head->table.write(head, pcm, 8, 2, 2, 44100), 0);
    EXPECT_EQ(seen, (std::vector<uint32_t>{8}));
    EXPECT_EQ(recordingOutput.written, std::vector<uint8_t>(pcm, pcm + 8));
    output_control c{};
    EXPECT_EQ(head->table.set_control(head, &c, control_mute), 0);
    ASSERT_EQ(recordingOutput.controls.size(), 1u);
    EXPECT_EQ(recordingOutput.controls[0].mask, static_cast<uint32_t>(control_mute));
    EXPECT_EQ(head->table.get_buffer(head, 100), nullptr);
}

TEST_F(FilterChain, AddingAndListingTellTheCallerNameAndId)
{
    std::string name = functionName(reinterpret_cast<void*>(&plainInputFilter<5>));
    ASSERT_EQ(add_filter_named(d, module_kind_input_filter, name.c_str(), -1), 1);
    auto info = channel.find(notify_input_filter_info);
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(text(info, 8), "filter 5");
    EXPECT_EQ(player_message_half(info, 4), 1);
    channel.clear();
    add_input_filter(d, plainInputFilter<6>, -1);
    list_filters(d, module_kind_input_filter);
    auto listed = channel.all(notify_input_filter_info);
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_EQ(text(listed[0], 8), "filter 6");
    EXPECT_EQ(text(listed[1], 8), "filter 5");
}

// ---- Loading by name ------------------------------------------------------------

struct HookCall {
    int kind, phase;
    std::string name, defaultName;
};
std::vector<HookCall> hookCalls;
int hookPhase0Result = 0;

int recordingHook(void*, int kind, int phase, player_channel*, decoder*, void (**entry)(void), const char* name,
                  const char* defaultName)
{
    hookCalls.push_back({kind, phase, name, defaultName});
    if (phase == 0 && hookPhase0Result == 1)
        *entry = reinterpret_cast<void (*)(void)>(&memory_input_register);
    return phase == 0 ? hookPhase0Result : 0;
}

class ModuleLoading : public ModuleSystem {
protected:
    std::string describedName(int id)
    {
        channel.clear();
        query_module(d, module_kind_input, id);
        return text(channel.find(notify_input_module_info), 8);
    }
};

TEST_F(ModuleLoading, ALibraryAloneGivesTheDefaultEntryPointOfTheKind)
{
    EXPECT_EQ(register_module_named(d, module_kind_input, TEST_MODULE_LIBRARY), 0);
    EXPECT_EQ(describedName(0), "Library Input");
    std::string named = std::string("other_input_register@") + TEST_MODULE_LIBRARY;
    EXPECT_EQ(register_module_named(d, module_kind_input, named.c_str()), 1);
    EXPECT_EQ(describedName(1), "Other Library Input");
}

TEST_F(ModuleLoading, AFunctionAddressNeedsNoLibrary)
{
    std::string name = functionName(reinterpret_cast<void*>(&memory_input_register));
    EXPECT_EQ(register_module_named(d, module_kind_input, name.c_str()), 0);
    EXPECT_EQ(describedName(0), "Memory Input");
    for (const char* bad : {"function@", "function@xyz", "function@0"})
        EXPECT_EQ(register_module_named(d, module_kind_input, bad), error_invalid_parameters) << bad;
}

TEST_F(ModuleLoading, WhatCannotBeLoadedIsRefusedWithItsOwnCode)
{
    EXPECT_EQ(register_module_named(d, module_kind_input, "/nonexistent/libnothing.so"), error_library_not_found);
    std::string missing = std::string("no_such_symbol@") + TEST_MODULE_LIBRARY;
    EXPECT_EQ(register_module_named(d, module_kind_input, missing.c_str()), error_symbol_not_found);
    // The library has no codec entry point.
    EXPECT_EQ(register_module_named(d, module_kind_codec, TEST_MODULE_LIBRARY), error_symbol_not_found);
    EXPECT_EQ(register_module_named(d, module_kind_input, ""), error_invalid_parameters);
    EXPECT_EQ(register_module_named(d, module_kind_input, nullptr), error_invalid_parameters);
    EXPECT_EQ(d.input_modules.count(), 0);
    EXPECT_EQ(d.codec_modules.count(), 0);
}

TEST_F(ModuleLoading, TheLoaderHookIsAskedBeforeAndAfter)
{
    hookCalls.clear();
    player_hook_pair pair{nullptr, reinterpret_cast<void (*)(void)>(&recordingHook)};
    d.loader_hook = pair;

    hookPhase0Result = 0;
    EXPECT_EQ(register_module_named(d, module_kind_input, TEST_MODULE_LIBRARY), 0);
    ASSERT_EQ(hookCalls.size(), 2u);
    EXPECT_EQ(hookCalls[0].phase, 0);
    EXPECT_EQ(hookCalls[1].phase, 1);
    EXPECT_EQ(hookCalls[0].kind, module_kind_input);
    EXPECT_EQ(hookCalls[0].defaultName, "input_module_register");

    // The hook supplies the entry point: nothing is loaded, no second call.
    hookCalls.clear();
    hookPhase0Result = 1;
    EXPECT_EQ(register_module_named(d, module_kind_input, "made-up name"), 1);
    EXPECT_EQ(hookCalls.size(), 1u);
    EXPECT_EQ(describedName(1), "Memory Input");

    hookPhase0Result = error_permission_denied;
    EXPECT_EQ(register_module_named(d, module_kind_input, TEST_MODULE_LIBRARY), error_permission_denied);
    EXPECT_EQ(d.input_modules.count(), 2);
}

} // namespace
