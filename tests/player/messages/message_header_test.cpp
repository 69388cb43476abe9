// The committed public melvox_messages.h is what the generator makes of the
// message table.
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

TEST(MessageHeader, GeneratedHeaderIsUpToDate)
{
    TempDir dir;
    std::string output = dir.file("melvox_messages.h");
    ASSERT_EQ(std::system((std::string(MESSAGE_HEADER_GENERATOR) + " " + output).c_str()), 0);
    std::string generated = readFile(output);
    ASSERT_FALSE(generated.empty());
    EXPECT_TRUE(generated == readFile(MESSAGE_HEADER))
        << "player/include/melvox_messages.h differs from the message table: build the target message-header";
}

} // namespace
