#include "host/named_values.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using melvox::named_value_list;

namespace {

struct seen_call {
    std::string name;
    bool had_value;
    std::string value;
};

// Records watcher calls; string values are recorded as text, integers as digits.
struct recorder {
    bool strings = false;
    std::vector<seen_call> calls;

    static void called(void* self, const char* name, const void* value)
    {
        auto r = static_cast<recorder*>(self);
        std::string text;
        if (value != nullptr)
            text = r->strings ? static_cast<const char*>(value) : std::to_string(*static_cast<const int32_t*>(value));
        r->calls.push_back({name, value != nullptr, text});
    }
};

TEST(NamedValues, TypesAreKeptApart)
{
    named_value_list env;
    ASSERT_EQ(env.set_string("INPUT.STREAM.BUFFER-SIZE", "big"), 0);
    EXPECT_EQ(env.set_integer("INPUT.STREAM.BUFFER-SIZE", 4096), error_invalid_variable_type);
    const char* text = nullptr;
    ASSERT_EQ(env.get_string("INPUT.STREAM.BUFFER-SIZE", &text), 0);
    EXPECT_STREQ(text, "big");
    int32_t value = 17;
    EXPECT_EQ(env.get_integer("INPUT.STREAM.BUFFER-SIZE", &value), error_invalid_variable_type);
    EXPECT_EQ(value, 17);

    ASSERT_EQ(env.set_integer("PORT", 80), 0);
    EXPECT_EQ(env.set_string("PORT", "eighty"), error_invalid_variable_type);
    ASSERT_EQ(env.set_integer("PORT", 8080), 0);
    ASSERT_EQ(env.get_integer("PORT", &value), 0);
    EXPECT_EQ(value, 8080);
}

TEST(NamedValues, MissingNamesAndBadArguments)
{
    named_value_list env;
    int32_t value = 42;
    EXPECT_EQ(env.get_integer("ABSENT", &value), error_no_such_variable);
    EXPECT_EQ(value, 42); // untouched
    const char* text = "kept";
    EXPECT_EQ(env.get_string("ABSENT", &text), error_no_such_variable);
    EXPECT_STREQ(text, "kept");
    EXPECT_EQ(env.unset("ABSENT"), error_no_such_variable);

    EXPECT_EQ(env.set_integer(nullptr, 1), error_invalid_parameters);
    EXPECT_EQ(env.set_string("A", nullptr), error_invalid_parameters);
    EXPECT_EQ(env.get_integer("A", nullptr), error_invalid_parameters);
    EXPECT_EQ(env.get_string(nullptr, &text), error_invalid_parameters);
    EXPECT_EQ(env.unset(nullptr), error_invalid_parameters);
    EXPECT_TRUE(env.empty());
}

TEST(NamedValues, NamesAreCaseSensitive)
{
    named_value_list env;
    ASSERT_EQ(env.set_integer("Rate", 1), 0);
    ASSERT_EQ(env.set_integer("RATE", 2), 0);
    int32_t a, b;
    ASSERT_EQ(env.get_integer("Rate", &a), 0);
    ASSERT_EQ(env.get_integer("RATE", &b), 0);
    EXPECT_EQ(a, 1);
    EXPECT_EQ(b, 2);
}

TEST(NamedValues, WatchersSeeSetsAndAnUnsetOnce)
{
    named_value_list env;
    recorder r;
    named_value_list::watcher* w = nullptr;
    ASSERT_EQ(env.watch("OUTPUT.WAVE.PLAYBACK-RATE", &recorder::called, &r, &w), 0);
    ASSERT_EQ(env.set_integer("OTHER", 5), 0);
    ASSERT_EQ(env.set_integer("OUTPUT.WAVE.PLAYBACK-RATE", 44100), 0);
    ASSERT_EQ(env.set_integer("OUTPUT.WAVE.PLAYBACK-RATE", 22050), 0);
    EXPECT_EQ(env.set_string("OUTPUT.WAVE.PLAYBACK-RATE", "x"), error_invalid_variable_type); // no call
    ASSERT_EQ(env.unset("OUTPUT.WAVE.PLAYBACK-RATE"), 0);
    ASSERT_EQ(r.calls.size(), 3u);
    EXPECT_EQ(r.calls[0].value, "44100");
    EXPECT_EQ(r.calls[1].value, "22050");
    EXPECT_EQ(r.calls[2].name, "OUTPUT.WAVE.PLAYBACK-RATE");
    EXPECT_FALSE(r.calls[2].had_value);

    ASSERT_EQ(env.unwatch(w), 0);
    EXPECT_EQ(env.unwatch(w), error_invalid_parameters);
    ASSERT_EQ(env.set_integer("OUTPUT.WAVE.PLAYBACK-RATE", 1), 0);
    EXPECT_EQ(r.calls.size(), 3u);
}

TEST(NamedValues, StringWatchersGetTheText)
{
    named_value_list env;
    recorder r;
    r.strings = true;
    named_value_list::watcher* w;
    ASSERT_EQ(env.watch("NETWORK.HTTP.PROXY.HOSTNAME", &recorder::called, &r, &w), 0);
    ASSERT_EQ(env.set_string("NETWORK.HTTP.PROXY.HOSTNAME", "proxy.example"), 0);
    ASSERT_EQ(r.calls.size(), 1u);
    EXPECT_EQ(r.calls[0].value, "proxy.example");
    EXPECT_EQ(env.watch(nullptr, &recorder::called, &r, &w), error_invalid_parameters);
    EXPECT_EQ(env.watch("X", nullptr, &r, &w), error_invalid_parameters);
    EXPECT_EQ(env.unwatch(nullptr), error_invalid_parameters);
}

// A watcher that removes itself while it is being called.
struct self_removing {
    named_value_list* env;
    named_value_list::watcher* me;
    int calls = 0;
    static void called(void* self, const char*, const void*)
    {
        auto s = static_cast<self_removing*>(self);
        ++s->calls;
        s->env->unwatch(s->me);
    }
};

TEST(NamedValues, AWatcherMayUnwatchItselfWhileCalled)
{
    named_value_list env;
    self_removing s{&env, nullptr};
    ASSERT_EQ(env.watch("A", &self_removing::called, &s, &s.me), 0);
    ASSERT_EQ(env.set_integer("A", 1), 0);
    ASSERT_EQ(env.set_integer("A", 2), 0);
    EXPECT_EQ(s.calls, 1);
}

TEST(NamedValues, ListingIsNewestFirstAndReplacedEachTime)
{
    named_value_list env;
    int32_t count = -1;
    const player_property* entries = reinterpret_cast<const player_property*>(1);
    ASSERT_EQ(env.list(&count, &entries), 0);
    EXPECT_EQ(count, 0);

    ASSERT_EQ(env.set_integer("mpeg/layer", 3), 0);
    ASSERT_EQ(env.set_string("id3/title", "Song"), 0);
    ASSERT_EQ(env.set_integer("mpeg/layer", 2), 0); // updating keeps the place
    ASSERT_EQ(env.list(&count, &entries), 0);
    ASSERT_EQ(count, 2);
    EXPECT_STREQ(entries[0].name, "id3/title");
    EXPECT_EQ(entries[0].type, player_value_string);
    EXPECT_STREQ(entries[0].value.string, "Song");
    EXPECT_STREQ(entries[1].name, "mpeg/layer");
    EXPECT_EQ(entries[1].type, player_value_integer);
    EXPECT_EQ(entries[1].value.integer, 2);

    ASSERT_EQ(env.unset("id3/title"), 0);
    ASSERT_EQ(env.list(&count, &entries), 0);
    ASSERT_EQ(count, 1);
    EXPECT_STREQ(entries[0].name, "mpeg/layer");
}

} // namespace
