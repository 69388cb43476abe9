#include <gtest/gtest.h>

extern "C" int c_messages_round_trip(void);

namespace {

TEST(PublicHeaders, WorkInC)
{
    EXPECT_EQ(c_messages_round_trip(), 0);
}

} // namespace
