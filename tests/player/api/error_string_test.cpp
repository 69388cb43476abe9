#include "melvox.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace {

TEST(ErrorString, EveryGroupHasItsTexts)
{
    EXPECT_STREQ(error_string(error_out_of_memory), "out of memory");
    EXPECT_STREQ(error_string(error_timeout), "timeout");
    EXPECT_STREQ(error_string(error_version_mismatch), "version mismatch");
    EXPECT_STREQ(error_string(error_ftp), "ftp error");
    EXPECT_STREQ(error_string(error_certificate_not_trusted), "certificate not trusted");
    EXPECT_STREQ(error_string(error_pipe_closed), "pipe closed");
    EXPECT_STREQ(error_string(error_post_failed), "post failed");
    EXPECT_STREQ(error_string(error_side_ended), "player side ended");
    EXPECT_STREQ(error_string(error_invalid_url_syntax), "invalid url syntax");
    EXPECT_STREQ(error_string(error_end_of_input_stream), "end of input stream");
    EXPECT_STREQ(error_string(error_no_codec_found), "no codec found for this stream");
    EXPECT_STREQ(error_string(error_invalid_frame), "invalid frame");
    EXPECT_STREQ(error_string(error_no_audio_found), "no audio found in the stream");
    EXPECT_STREQ(error_string(error_symbol_not_found), "symbol not found");
    EXPECT_STREQ(error_string(error_invalid_variable_type), "invalid property or environment variable type");
    EXPECT_STREQ(error_string(error_no_such_interface), "no such interface");
    // Two device codes share one text.
    EXPECT_STREQ(error_string(-505), "no such device");
    EXPECT_STREQ(error_string(-512), "no such device");
}

TEST(ErrorString, CodesWithoutAnEntry)
{
    EXPECT_STREQ(error_string(0), "");
    EXPECT_STREQ(error_string(7), "");
    EXPECT_STREQ(error_string(-515), "");  // past the last entry of its group
    EXPECT_STREQ(error_string(-105), "");  // a gap inside its group
    EXPECT_STREQ(error_string(-1001), ""); // past the only interface entry
    EXPECT_STREQ(error_string(-1100), "unknown error");
    EXPECT_STREQ(error_string(-1), "unknown error"); // below the first group
    EXPECT_STREQ(error_string(-99), "unknown error");
    EXPECT_STREQ(error_string(INT_MIN), "unknown error");
}

} // namespace
