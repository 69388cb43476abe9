// Decoding accuracy against mpg123 (a black-box reference) with the
// compliance measure: streams made at test time by lame and twolame from
// synthetic signals, and the Layer I streams of tests/data.
#include "instruction_set.h"
#include "mpeg_errors.h"
#include "mpeg_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

using namespace mpeg_test;

namespace {

enum class source { lame, twolame, file };

struct stream_case {
    const char* name;
    source from;
    int rate;
    int channels;
    signal_kind signal;
    const char* options; // encoder options, or the file name in tests/data
    size_t cut = 0;      // bytes dropped from the start: the stream begins inside a frame
};

void PrintTo(const stream_case& c, std::ostream* out)
{
    *out << c.name;
}

constexpr double seconds = 2.0;

const stream_case cases[] = {
    // Layer III, MPEG-1
    {"l3_mpeg1_32k_stereo", source::lame, 44100, 2, signal_kind::sweep, "-b 32 --resample 44.1 -m s"},
    {"l3_mpeg1_128k_stereo", source::lame, 44100, 2, signal_kind::stereo, "-b 128 -m s"},
    {"l3_mpeg1_320k_noise", source::lame, 44100, 2, signal_kind::noise, "-b 320 -m s"},
    {"l3_mpeg1_48k_192k_joint", source::lame, 48000, 2, signal_kind::stereo, "-b 192 -m j"},
    {"l3_mpeg1_32k_64k_joint", source::lame, 32000, 2, signal_kind::stereo, "-b 64 -m j --resample 32"},
    {"l3_mpeg1_transients_joint", source::lame, 44100, 2, signal_kind::transients, "-b 160 -m j"},
    {"l3_mpeg1_mono_96k", source::lame, 44100, 1, signal_kind::sweep, "-b 96"},
    {"l3_mpeg1_dual_channel", source::lame, 44100, 2, signal_kind::stereo, "-b 192 -m d"},
    {"l3_mpeg1_vbr_xing", source::lame, 44100, 2, signal_kind::stereo, "-V 2"},
    {"l3_mpeg1_id3v2_tag", source::lame, 44100, 2, signal_kind::sweep, "-b 128 --id3v2-only --tt Title --ta Artist"},
    {"l3_mpeg1_cut_in_reservoir", source::lame, 44100, 2, signal_kind::noise, "-b 128 -m s", 5000},
    {"l3_mpeg1_free_format", source::lame, 44100, 2, signal_kind::stereo, "--freeformat -b 200"},
    {"l3_mpeg1_free_format_32k_padded", source::lame, 32000, 2, signal_kind::noise,
     "--freeformat -b 201 --resample 32"},
    // Layer III, MPEG-2 and MPEG 2.5
    {"l3_mpeg2_22k_joint", source::lame, 22050, 2, signal_kind::stereo, "-b 64 -m j"},
    {"l3_mpeg2_24k_transients", source::lame, 24000, 2, signal_kind::transients, "-b 80 -m j"},
    {"l3_mpeg2_16k_mono", source::lame, 16000, 1, signal_kind::sweep, "-b 32"},
    {"l3_mpeg2_22k_vbr", source::lame, 22050, 2, signal_kind::noise, "-V 4"},
    {"l3_mpeg25_11k_joint", source::lame, 11025, 2, signal_kind::stereo, "-b 32 -m j"},
    {"l3_mpeg25_12k_transients", source::lame, 12000, 2, signal_kind::transients, "-b 40 -m s"},
    {"l3_mpeg25_8k_mono", source::lame, 8000, 1, signal_kind::transients, "-b 16"},
    // Layer II
    {"l2_44k_192k_stereo", source::twolame, 44100, 2, signal_kind::stereo, "-b 192 -m s"},
    {"l2_48k_384k_joint", source::twolame, 48000, 2, signal_kind::stereo, "-b 384 -m j"},
    {"l2_44k_224k_joint", source::twolame, 44100, 2, signal_kind::noise, "-b 224 -m j"},
    {"l2_32k_64k_joint", source::twolame, 32000, 2, signal_kind::stereo, "-b 64 -m j"},
    {"l2_48k_96k_stereo", source::twolame, 48000, 2, signal_kind::transients, "-b 96 -m s"},
    {"l2_48k_mono_32k", source::twolame, 48000, 1, signal_kind::sweep, "-b 32"},
    {"l2_32k_mono_48k", source::twolame, 32000, 1, signal_kind::sweep, "-b 48"},
    {"l2_44k_128k_dual_crc_padding", source::twolame, 44100, 2, signal_kind::stereo, "-b 128 -m d --protect -d"},
    {"l2_mpeg2_24k_joint", source::twolame, 24000, 2, signal_kind::stereo, "-b 96 -m j"},
    {"l2_mpeg2_22k_stereo", source::twolame, 22050, 2, signal_kind::noise, "-b 160 -m s"},
    {"l2_mpeg2_16k_mono", source::twolame, 16000, 1, signal_kind::transients, "-b 32"},
    // Layer I (no common encoder writes it)
    {"l1_stereo_44k_384k", source::file, 44100, 2, signal_kind::sweep, "layer1-stereo-44k-384k.mp1"},
    {"l1_joint_48k_256k_crc", source::file, 48000, 2, signal_kind::sweep, "layer1-joint-48k-256k-crc.mp1"},
    {"l1_mono_32k_192k", source::file, 32000, 1, signal_kind::sweep, "layer1-mono-32k-192k.mp1"},
    {"l1_dual_44k_320k", source::file, 44100, 2, signal_kind::sweep, "layer1-dual-44k-320k.mp1"},
};

class Accuracy : public testing::TestWithParam<stream_case> {};

TEST_P(Accuracy, MatchesReferenceDecoderWithinComplianceLimits)
{
    const stream_case& c = GetParam();
    if (!have_program("mpg123") || (c.from == source::lame && !have_program("lame")) ||
        (c.from == source::twolame && !have_program("twolame")))
        GTEST_SKIP() << "mpg123, lame or twolame missing (scripts/setup installs them)";

    TempDir dir;
    std::vector<uint8_t> stream;
    if (c.from == source::file) {
        stream = read_bytes(std::string(MPEG_TEST_DATA_DIR) + "/" + c.options);
    } else {
        auto pcm = make_signal(c.signal, c.rate, c.channels, seconds);
        stream = c.from == source::lame ? encode_lame(dir, pcm, c.rate, c.channels, c.options)
                                        : encode_twolame(dir, pcm, c.rate, c.channels, c.options);
    }
    ASSERT_GT(stream.size(), c.cut) << "no stream";
    stream.erase(stream.begin(), stream.begin() + static_cast<long>(c.cut));
    if (c.signal == signal_kind::transients && c.from == source::lame) {
        EXPECT_GT(count_block_types(stream)[2], 0) << "the stream has no short blocks";
    }

    std::vector<int16_t> reference = reference_decode(dir, stream);
    ASSERT_FALSE(reference.empty());
    decoding ours = decode(stream);
    EXPECT_EQ(ours.invalid_frames, 0);
    EXPECT_EQ(ours.end_result, melvox::mpeg::error_end_of_input);
    ASSERT_EQ(ours.channels, c.channels);

    comparison result = compare(ours.samples, reference, c.channels);
    std::printf("accuracy %-30s max %d LSB  rms %.4f LSB  (%zu samples per channel, offset %d)\n", c.name,
                result.max_difference, result.rms, result.compared, result.offset);
    // All of the reference is compared (ours may hold one more frame: the VBR info frame).
    EXPECT_GE(result.compared + 1152, reference.size() / static_cast<size_t>(c.channels));
    EXPECT_LE(result.max_difference, max_difference_limit);
    EXPECT_LT(result.rms, rms_limit);
}

INSTANTIATE_TEST_SUITE_P(Streams, Accuracy, testing::ValuesIn(cases),
                         [](const testing::TestParamInfo<stream_case>& info) { return std::string(info.param.name); });

} // namespace

namespace {

// Streams of the MPEG audio conformance suite with the suite's own reference
// decodings (16-bit little-endian; a single-channel frame adds one channel's
// samples, so the layout follows the channel mode frame by frame).
const char* const conformance_streams[] = {
    "l3-si_block", // single channel, long/start/short/stop blocks, mixed flags on start and stop blocks
    "l3-he_mode",  // the channel mode changing mid-stream, M/S and intensity in every combination
    "l3-test46",   // MPEG-2 joint stereo: M/S, and M/S with intensity
    "l3-he_free",  // free format
};

std::vector<int16_t> little_endian_samples(const std::vector<uint8_t>& bytes)
{
    std::vector<int16_t> samples(bytes.size() / 2);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<int16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
    return samples;
}

comparison compare_in_place(const int16_t* ours, const int16_t* reference, size_t count)
{
    comparison c;
    double sum = 0.0;
    for (size_t i = 0; i < count; ++i) {
        int d = ours[i] - reference[i];
        sum += static_cast<double>(d) * d;
        c.max_difference = std::max(c.max_difference, std::abs(d));
    }
    c.compared = count;
    c.rms = count ? std::sqrt(sum / static_cast<double>(count)) : 1e9;
    return c;
}

class Conformance : public testing::TestWithParam<const char*> {};

TEST_P(Conformance, FullyAccurateAgainstTheSuiteReference)
{
    std::string base = std::string(MPEG_TEST_DATA_DIR) + "/" + GetParam();
    std::vector<uint8_t> stream = read_bytes(base + ".bit");
    std::vector<int16_t> reference = little_endian_samples(read_bytes(base + ".pcm"));
    ASSERT_FALSE(stream.empty());
    ASSERT_FALSE(reference.empty());

    decoding ours = decode(stream);
    EXPECT_EQ(ours.invalid_frames, 0);
    EXPECT_EQ(ours.end_result, melvox::mpeg::error_end_of_input);
    // The suite's reference decoder leaves out the last frame of some streams
    // (a whole frame in the stream); ours holds it, and it is judged by mpg123.
    ASSERT_GE(ours.samples.size(), reference.size());
    size_t extra = ours.samples.size() - reference.size();
    ASSERT_TRUE(extra == 0 || extra == ours.last_frame_size)
        << "ours: " << ours.samples.size() << " samples, reference: " << reference.size();

    comparison c = compare_in_place(ours.samples.data(), reference.data(), reference.size());
    std::printf("conformance %-12s max %d LSB  rms %.4f LSB  (%zu samples, %zu more in ours)\n", GetParam(),
                c.max_difference, c.rms, c.compared, extra);
    EXPECT_LE(c.max_difference, 1);
    EXPECT_LT(c.rms, rms_limit);

    if (extra && have_program("mpg123")) {
        TempDir dir;
        std::vector<int16_t> mpg123 = reference_decode(dir, stream);
        ASSERT_EQ(mpg123.size(), ours.samples.size());
        comparison tail = compare_in_place(ours.samples.data() + reference.size(), mpg123.data() + reference.size(),
                                           extra);
        EXPECT_LE(tail.max_difference, max_difference_limit) << "the last frame";
    }
}

INSTANTIATE_TEST_SUITE_P(Suite, Conformance, testing::ValuesIn(conformance_streams),
                         [](const testing::TestParamInfo<const char*>& info) {
                             std::string name = info.param;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

} // namespace

namespace {

// Gapless decoding gives back exactly the samples that lame was given:
// as many, at the same places (the best match with the source lies at no
// lag), and as mpg123 decodes them gapless.
struct gapless_case {
    const char* name;
    int rate;
    const char* options;
};

void PrintTo(const gapless_case& c, std::ostream* out)
{
    *out << c.name;
}

const gapless_case gapless_cases[] = {
    {"cbr_44k", 44100, "-b 128"}, {"vbr_44k", 44100, "-V 2"}, {"abr_44k", 44100, "--abr 112"},
    {"cbr_32k", 32000, "-b 96"},  {"vbr_32k", 32000, "-V 4"}, {"abr_32k", 32000, "--abr 80"},
    {"cbr_22k", 22050, "-b 64"},  {"vbr_22k", 22050, "-V 5"}, {"abr_22k", 22050, "--abr 48"},
};

// The lag (in samples per channel, within +-limit) at which `ours` matches
// the source best, by correlation of the left channel.
int best_lag(const std::vector<int16_t>& ours, const std::vector<int16_t>& source, int limit)
{
    int best = 0;
    double best_score = -1e300;
    for (int lag = -limit; lag <= limit; ++lag) {
        double score = 0.0;
        for (size_t i = static_cast<size_t>(limit); i + static_cast<size_t>(limit) < source.size() / 2; i += 3)
            score += double(source[2 * i]) * ours[2 * (i + static_cast<size_t>(lag))];
        if (score > best_score) {
            best_score = score;
            best = lag;
        }
    }
    return best;
}

class Gapless : public testing::TestWithParam<gapless_case> {};

TEST_P(Gapless, DecodesExactlyTheSamplesThatWereEncoded)
{
    const gapless_case& c = GetParam();
    if (!have_program("mpg123") || !have_program("lame"))
        GTEST_SKIP() << "mpg123 or lame missing";
    TempDir dir;
    // An odd length: the encoder pads the last frame.
    std::vector<int16_t> source = make_signal(signal_kind::stereo, c.rate, 2, 3.0 + 0.0123);
    std::vector<uint8_t> stream = encode_lame(
        dir, source, c.rate, 2, std::string(c.options) + " --resample " + std::to_string(c.rate / 1000.0));
    ASSERT_FALSE(stream.empty());

    decoding ours = decode_gapless(stream);
    int lag = best_lag(ours.samples, source, 1500);
    std::printf("gapless %-8s %zu samples per channel from %zu encoded, lag %d\n", c.name, ours.samples.size() / 2,
                source.size() / 2, lag);
    EXPECT_EQ(ours.rate, c.rate);
    EXPECT_EQ(ours.samples.size(), source.size());
    EXPECT_EQ(lag, 0);
    EXPECT_EQ(decode_gapless(stream, false).samples, ours.samples) << "unprepared, as from standard input";
    if (c.rate >= 32000) {
        melvox::mpeg::codec_parameters half;
        half.downsampling = 1;
        EXPECT_NEAR(static_cast<double>(decode(stream, half, true, 100000, true).samples.size()), source.size() / 2.0,
                    2.0)
            << "at half the rate, half the samples";
    }

    std::vector<int16_t> reference = reference_decode(dir, stream, true);
    ASSERT_EQ(reference.size(), ours.samples.size());
    comparison m = compare(ours.samples, reference, 2);
    EXPECT_EQ(m.offset, 0);
    EXPECT_LE(m.max_difference, max_difference_limit);
    EXPECT_LT(m.rms, rms_limit);
}

INSTANTIATE_TEST_SUITE_P(Lame, Gapless, testing::ValuesIn(gapless_cases),
                         [](const testing::TestParamInfo<gapless_case>& info) { return std::string(info.param.name); });

} // namespace

namespace {

// Every vector path that this processor has decodes exactly as the plain
// code: the conformance streams (single channel, every block type, M/S and
// intensity, MPEG-2), and streams made by the encoders, also mixed to one
// channel, one channel only and downsampled.
struct vector_case {
    const char* name;
    source from;
    const char* options; // encoder options, or the stream's name in tests/data
    int channel_mode = 0;
    int downsampling = 0;
};

void PrintTo(const vector_case& c, std::ostream* out)
{
    *out << c.name;
}

const vector_case vector_cases[] = {
    {"l3_si_block", source::file, "l3-si_block.bit"},
    {"l3_he_mode", source::file, "l3-he_mode.bit"},
    {"l3_test46", source::file, "l3-test46.bit"},
    {"l3_he_free", source::file, "l3-he_free.bit"},
    {"l3_lame_joint_transients", source::lame, "-b 128 -m j"},
    {"l3_lame_mixed_to_one", source::lame, "-b 160 -m s", 3},
    {"l3_lame_right_half_rate", source::lame, "-b 128 -m j", 2, 1},
    {"l2_twolame_joint", source::twolame, "-b 192 -m j"},
    {"l1_stereo", source::file, "layer1-stereo-44k-384k.mp1"},
};

class VectorPaths : public testing::TestWithParam<vector_case> {};

TEST_P(VectorPaths, DecodeExactlyAsThePlainCode)
{
    using melvox::mpeg::instruction_set;
    const vector_case& c = GetParam();
    TempDir dir;
    std::vector<uint8_t> stream;
    if (c.from == source::file) {
        stream = read_bytes(std::string(MPEG_TEST_DATA_DIR) + "/" + c.options);
    } else {
        if (!have_program(c.from == source::lame ? "lame" : "twolame"))
            GTEST_SKIP() << "lame or twolame missing";
        auto pcm = make_signal(signal_kind::transients, 44100, 2, 1.5);
        stream = c.from == source::lame ? encode_lame(dir, pcm, 44100, 2, c.options)
                                        : encode_twolame(dir, pcm, 44100, 2, c.options);
    }
    ASSERT_FALSE(stream.empty());
    melvox::mpeg::codec_parameters parameters;
    parameters.channel_mode = c.channel_mode;
    parameters.downsampling = c.downsampling;

    ASSERT_EQ(melvox::mpeg::use_instruction_set(instruction_set::plain), instruction_set::plain);
    decoding plain = decode(stream, parameters);
    ASSERT_FALSE(plain.samples.empty());
    int compared = 0;
    for (instruction_set set : {instruction_set::sse2, instruction_set::avx2}) {
        if (melvox::mpeg::use_instruction_set(set) != set)
            continue; // not in this build or on this processor
        decoding vector = decode(stream, parameters);
        EXPECT_TRUE(vector.samples == plain.samples) << melvox::mpeg::instruction_set_name(set);
        ++compared;
    }
    melvox::mpeg::use_instruction_set(melvox::mpeg::best_instruction_set());
    std::printf("vector paths %-26s %d set(s) beside the plain code, best here: %s\n", c.name, compared,
                melvox::mpeg::instruction_set_name(melvox::mpeg::best_instruction_set()));
}

INSTANTIATE_TEST_SUITE_P(Streams, VectorPaths, testing::ValuesIn(vector_cases),
                         [](const testing::TestParamInfo<vector_case>& info) { return std::string(info.param.name); });

} // namespace
