// The MPEG audio codec as a module of the player, through the real player
// processes: melvox-play converting Layers I to III to files, starting at a
// position, damaged and cut streams, the demo's music; and a player that
// reports the stream's properties and duration.
#include "melvox.h"
#include "melvox_modules.h"
#include "codecs/codec_modules.h"
#include "mpeg_test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

#include <sys/wait.h>

using namespace mpeg_test;

namespace {

constexpr int samples_per_frame = 1152;

std::vector<int16_t> as_samples(const std::vector<uint8_t>& bytes)
{
    std::vector<int16_t> samples(bytes.size() / 2);
    if (!samples.empty()) // an empty vector's data() may be null
        std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
}

uint32_t le32(const std::vector<uint8_t>& b, size_t at)
{
    return uint32_t{b[at]} | uint32_t{b[at + 1]} << 8 | uint32_t{b[at + 2]} << 16 | uint32_t{b[at + 3]} << 24;
}

class MpegModule : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* program : {"lame", "twolame", "mpg123"})
            if (!have_program(program))
                GTEST_SKIP() << program << " is not installed";
    }

    // Runs melvox-play with arguments (shell words) in the scratch directory;
    // returns its exit status, and its standard error in err.
    int play(const std::string& arguments)
    {
        std::string command = "cd '" + dir.path() + "' && '" MELVOX_PLAY "' " + arguments + " 2> stderr.txt";
        int status = std::system(command.c_str());
        err = readFile(dir.file("stderr.txt"));
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    // Converts a stream to raw samples with melvox-play.
    std::vector<int16_t> convert(const std::string& name, const std::string& options = "")
    {
        EXPECT_EQ(play("-q " + options + " -o raw:out.raw " + name), 0) << err;
        EXPECT_EQ(err, "");
        return as_samples(read_bytes(dir.file("out.raw")));
    }

    std::vector<uint8_t> save(const std::string& name, const std::vector<uint8_t>& bytes)
    {
        write_bytes(dir.file(name), bytes);
        return bytes;
    }

    TempDir dir;
    std::string err;
};

// The player's output equals the core's own decoding (gapless, as
// melvox-play asks for), and so mpg123's within the compliance limits, for
// each layer.
void expect_decoded_like_the_core(const std::vector<int16_t>& played, const std::vector<uint8_t>& stream,
                                  const TempDir& dir)
{
    decoding core = decode_gapless(stream);
    ASSERT_GT(core.samples.size(), 0u);
    EXPECT_EQ(played, core.samples);
    std::vector<int16_t> reference = reference_decode(dir, stream, true);
    EXPECT_EQ(played.size(), reference.size());
    comparison c = compare(played, reference, core.channels);
    EXPECT_EQ(c.offset, 0);
    EXPECT_GT(c.compared, core.samples.size() / core.channels * 9 / 10);
    EXPECT_LE(c.max_difference, max_difference_limit);
    EXPECT_LT(c.rms, rms_limit);
}

TEST_F(MpegModule, EachLayerPlaysThroughThePipelineLikeTheCore)
{
    auto mp3 = save("song.mp3", encode_lame(dir, make_signal(signal_kind::stereo, 44100, 2, 3.0), 44100, 2, "-b 128"));
    auto mp2 = save("song.mp2",
                    encode_twolame(dir, make_signal(signal_kind::noise, 48000, 2, 2.0), 48000, 2, "-b 192"));
    auto mp1 = read_bytes(MPEG_TEST_DATA_DIR "/layer1-joint-48k-256k-crc.mp1");
    save("song.mp1", mp1);
    ASSERT_FALSE(mp3.empty() || mp2.empty() || mp1.empty());
    expect_decoded_like_the_core(convert("song.mp3"), mp3, dir);
    expect_decoded_like_the_core(convert("song.mp2"), mp2, dir);
    expect_decoded_like_the_core(convert("song.mp1"), mp1, dir);

    // From standard input, which cannot seek: the stream is not prepared,
    // and standard output takes the samples.
    ASSERT_EQ(play("-q -o raw:- - < song.mp3 > piped.raw"), 0) << err;
    EXPECT_EQ(as_samples(read_bytes(dir.file("piped.raw"))), decode_gapless(mp3, false).samples);
    EXPECT_EQ(as_samples(read_bytes(dir.file("piped.raw"))), decode_gapless(mp3).samples)
        << "the info frame tells the gap to a stream that was not prepared as well";
    // The demo, which does not ask for gapless output, gets every frame.
    ASSERT_EQ(play("-q -e CODEC.MPEG.GAPLESS=0 -o raw:all.raw song.mp3"), 0) << err;
    EXPECT_EQ(as_samples(read_bytes(dir.file("all.raw"))), decode(mp3).samples);

    // A mono MPEG-2 stream through a WAV file: its header tells the format.
    auto mono = save("mono.mp3", encode_lame(dir, make_signal(signal_kind::sweep, 22050, 1, 2.0), 22050, 1, "-b 32"));
    ASSERT_EQ(play("-q mono.mp3 -o wav:out.wav"), 0) << err;
    auto wav = read_bytes(dir.file("out.wav"));
    ASSERT_GT(wav.size(), 44u);
    EXPECT_EQ(le32(wav, 24), 22050u);
    EXPECT_EQ(wav[22], 1);
    EXPECT_EQ(as_samples({wav.begin() + 44, wav.end()}), decode_gapless(mono).samples);
}

TEST_F(MpegModule, AStartPositionIsFoundFrameExactly)
{
    // Ten seconds of VBR without a VBR header (only the frames tell the time),
    // and CBR with an info frame and LAME tag (gapless: the output's time 0
    // is the encoder's first sample, 1105 samples into the first audio frame).
    struct stream_case {
        const char* options;
        int lead; // samples of the first audio frame before the output's time 0
    };
    auto signal = make_signal(signal_kind::stereo, 44100, 2, 10.0);
    for (const stream_case& c : {stream_case{"-V 2 -t", 0}, stream_case{"-b 128", 576 + 529}}) {
        save("song.mp3", encode_lame(dir, signal, 44100, 2, c.options));
        for (double seconds : {2.5, 5.0, 8.0}) {
            std::vector<int16_t> played = convert("song.mp3", "-s " + std::to_string(seconds));
            // mpg123 -k decodes from an audio frame exactly as from the start.
            int frame = static_cast<int>((seconds * 44100 + c.lead) / samples_per_frame);
            ASSERT_EQ(std::system(("cd '" + dir.path() + "' && mpg123 -q -k " + std::to_string(frame) +
                                   " -s song.mp3 > skipped.raw 2> /dev/null")
                                      .c_str()),
                      0);
            std::vector<int16_t> reference = as_samples(read_bytes(dir.file("skipped.raw")));
            comparison m = compare(played, reference, 2);
            EXPECT_EQ(m.offset, 0) << c.options << ", " << seconds << " s";
            EXPECT_EQ(played.size(), reference.size()) << c.options << ", " << seconds << " s";
            EXPECT_LE(m.max_difference, max_difference_limit) << c.options << ", " << seconds << " s";
        }
    }
}

TEST_F(MpegModule, DamagedAndCutStreamsPlayWhatIsGoodAndEndCleanly)
{
    auto mp3 = encode_lame(dir, make_signal(signal_kind::noise, 44100, 2, 3.0), 44100, 2, "-b 128");
    ASSERT_FALSE(mp3.empty());
    size_t whole = decode_gapless(mp3).samples.size();

    // Cut in the middle of a frame: the frames before play, the end is the
    // ordinary end of the stream (exit status 0, no message).
    std::vector<uint8_t> cut(mp3.begin(), mp3.begin() + static_cast<long>(mp3.size() / 2 + 200));
    save("cut.mp3", cut);
    std::vector<int16_t> played = convert("cut.mp3");
    EXPECT_EQ(played, decode_gapless(cut).samples);
    EXPECT_NEAR(static_cast<double>(played.size()), whole / 2.0, 2.0 * samples_per_frame * 2);

    // Garbage over a stretch of frames: playback goes on with the next good
    // frame, and the frames lost play as silence: the stream keeps its time.
    std::vector<uint8_t> damaged = mp3;
    unsigned seed = 7;
    for (size_t i = damaged.size() / 3; i < damaged.size() / 3 + 1500; ++i)
        damaged[i] = static_cast<uint8_t>((seed = seed * 1103515245 + 12345) >> 16);
    save("damaged.mp3", damaged);
    played = convert("damaged.mp3");
    EXPECT_EQ(played, decode_gapless(damaged).samples);
    EXPECT_NEAR(static_cast<double>(played.size()), static_cast<double>(whole), 2.0 * samples_per_frame);

    // Bytes that hold no MPEG audio at all are refused, once, with the reason.
    save("noise.mp3", std::vector<uint8_t>(5000, 0x5A));
    EXPECT_EQ(play("-q -o raw:out.raw noise.mp3"), 1);
    EXPECT_EQ(err, "melvox-play: noise.mp3: no audio found in the stream\n");
    EXPECT_TRUE(read_bytes(dir.file("out.raw")).empty());
}

TEST_F(MpegModule, TheDemoMusicPlaysToItsFullLength)
{
    std::vector<int16_t> music = convert("'" DEMO_MUSIC "'");
    // 156 s of music exactly: gapless, without the info frame, the delays
    // and the padding; what mpg123 decodes gapless.
    EXPECT_EQ(music.size(), 156u * 44100 * 2);
    std::vector<int16_t> reference = reference_decode(dir, read_bytes(DEMO_MUSIC), true);
    EXPECT_EQ(music.size(), reference.size());
    comparison c = compare(music, reference, 2);
    EXPECT_EQ(c.offset, 0);
    EXPECT_LE(c.max_difference, max_difference_limit);
    EXPECT_LT(c.rms, rms_limit);
}

TEST(MpegModuleTable, AnswersItsQueriesAndTakesEveryType)
{
    codec_module t{};
    ASSERT_EQ(mpeg_codec_module_register(&t), 0);
    EXPECT_EQ(t.version, 0x00040400u);
    EXPECT_EQ(t.input_closed, nullptr);
    EXPECT_EQ(t.probe("audio/mpeg", "song.mp3"), 0);
    EXPECT_EQ(t.probe("audio/unknown", "anything.bin"), 0);

    codec_module_info info{};
    ASSERT_EQ(t.query(&info, query_module_name | query_largest_frame | query_capabilities), 0);
    EXPECT_STREQ(info.info.name, "MPEG Audio Codec");
    EXPECT_STREQ(info.info.description, "Version 1.2");
    EXPECT_EQ(info.largest_frame_bytes, 4608u);
    EXPECT_EQ(info.info.flags, 3u);
    ASSERT_EQ(t.query(&info, query_device_count), 0);
    EXPECT_EQ(info.info.index, 1u);
    info.info.index = 0;
    ASSERT_EQ(t.query(&info, query_device), 0);
    EXPECT_STREQ(info.info.name, "MP1, MP2, MP3");
    EXPECT_STREQ(info.info.description, "MPEG 1 or 2 audio");
    info.info.index = 1;
    EXPECT_EQ(t.query(&info, query_device), error_invalid_parameters);
}

// A player in its own processes, told to open an MP3: what it reports.
class MpegPlayer : public MpegModule {
protected:
    void SetUp() override
    {
        MpegModule::SetUp();
        if (IsSkipped())
            return;
        ASSERT_EQ(player_new(&p, nullptr), 0);
        next(notify_ready);
    }
    void TearDown() override
    {
        if (p != nullptr) {
            EXPECT_EQ(player_delete(p), 0);
        }
    }

    player_message next(int code)
    {
        player_message m{};
        for (;;) {
            int r = player_wait_message(p, &m, 5000000);
            EXPECT_EQ(r, 1) << "waiting for " << code;
            if (r != 1)
                return {};
            keep(m);
            if (m.code == static_cast<uint32_t>(code) ||
                (code == notify_ack && m.code == static_cast<uint32_t>(notify_nack)))
                return m;
        }
    }

    template <typename... Args>
    int command(int code, Args... args)
    {
        return player_command(p, kept, this, 30'000'000, code, args...);
    }
    static void kept(void* self, const player_message* m) { static_cast<MpegPlayer*>(self)->keep(*m); }

    void keep(const player_message& m)
    {
        if (m.code == static_cast<uint32_t>(notify_stream_duration))
            duration = player_message_word(&m, 4);
        if (m.code == static_cast<uint32_t>(notify_stream_parameters))
            rate = player_message_word(&m, 4);
        if (m.code == static_cast<uint32_t>(notify_error))
            errors.push_back(static_cast<int16_t>(player_message_half(&m, 6)));
        if (m.code == static_cast<uint32_t>(notify_input_position)) {
            position = notify_input_position_offset(&m);
            position_range = notify_input_position_out_of(&m);
        }
        if (m.code == static_cast<uint32_t>(notify_stream_properties)) {
            auto entries = static_cast<const player_property*>(player_message_pointer(&m, 8));
            for (uint32_t i = 0; i < player_message_word(&m, 4); ++i)
                if (entries[i].type == player_value_integer)
                    properties[entries[i].name] = entries[i].value.integer;
        }
    }

    player* p = nullptr;
    uint32_t duration = 0, rate = 0;
    uint32_t position = 0, position_range = 0; // the last position notified
    std::map<std::string, int> properties;
    std::vector<int> errors;
};

TEST_F(MpegPlayer, ReportsTheStreamPropertiesAndDuration)
{
    // MPEG-2 Layer III, joint stereo, 7 s.
    auto mp3 = save("song.mp3",
                    encode_lame(dir, make_signal(signal_kind::stereo, 24000, 2, 7.0), 24000, 2, "-b 64 -m j"));
    ASSERT_EQ(command(command_output_open, ("raw:" + dir.file("out.raw")).c_str()), 0);
    ASSERT_EQ(command(command_input_open, dir.file("song.mp3").c_str()), 0);
    EXPECT_EQ(properties["mpeg/level"], 2);
    EXPECT_EQ(properties["mpeg/layer"], 3);
    EXPECT_EQ(properties["mpeg/mode"], 1);
    EXPECT_EQ(duration, 7u);
    EXPECT_EQ(rate, 24000u);

    // Played to its end: the end of the stream, and no error on the way.
    ASSERT_EQ(command(command_play), 0);
    for (;;) {
        player_message m = next(notify_player_state);
        if (m.code == 0 || player_message_byte(&m, 4) == player_state_end_of_stream)
            break;
    }
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(command(command_output_close), 0);
    EXPECT_EQ(as_samples(read_bytes(dir.file("out.raw"))), decode(mp3).samples);
}

// A file played to its end reaches the end of the position range, and its
// exact duration is what mpg123 decodes: an ID3v1 tag after the last frame
// is no audio, with or without an info frame, gapless or not.
TEST_F(MpegPlayer, AFileWithATagAtItsEndPlaysToTheWholeRangeAndDuration)
{
    auto signal = make_signal(signal_kind::stereo, 44100, 2, 3.0);
    const struct {
        const char* options;
        bool gapless;
    } cases[] = {{"-b 128", true}, {"-b 128", false}, {"-b 128 -t", false}, {"-V 2", true}};
    ASSERT_EQ(command(command_output_open, ("raw:" + dir.file("out.raw")).c_str()), 0);
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.options) + (c.gapless ? ", gapless" : ""));
        auto mp3 = save("song.mp3",
                        encode_lame(dir, signal, 44100, 2, std::string(c.options) + " --id3v1-only --tt Song"));
        ASSERT_EQ(std::string(mp3.end() - 128, mp3.end() - 125), "TAG");
        ASSERT_EQ(command(command_set_environment_integer, "CODEC.MPEG.GAPLESS", c.gapless ? 1 : 0), 0);
        properties.clear();
        ASSERT_EQ(command(command_input_open, dir.file("song.mp3").c_str()), 0);
        size_t reference = reference_decode(dir, mp3, c.gapless).size() / 2;
        EXPECT_EQ(properties["mpeg/duration-ms"], static_cast<int>(reference * 1000 / 44100));
        position = 0;
        ASSERT_EQ(command(command_play), 0);
        for (;;) {
            player_message m = next(notify_player_state);
            if (m.code == 0 || player_message_byte(&m, 4) == player_state_end_of_stream)
                break;
        }
        ASSERT_GT(position_range, 0u);
        EXPECT_EQ(position, position_range);
        ASSERT_EQ(command(command_input_close), 0);
    }
    EXPECT_TRUE(errors.empty());
}

TEST_F(MpegPlayer, AStreamWithoutAudioEndsWithItsError)
{
    save("page.mp3", std::vector<uint8_t>(3000, '<'));
    ASSERT_EQ(command(command_output_open, ("raw:" + dir.file("out.raw")).c_str()), 0);
    ASSERT_EQ(command(command_input_open, dir.file("page.mp3").c_str()), 0);
    ASSERT_EQ(command(command_play), 0);
    for (;;) {
        player_message m = next(notify_player_state);
        if (m.code == 0 || player_message_byte(&m, 4) == player_state_end_of_stream)
            break;
    }
    EXPECT_EQ(errors, std::vector<int>{error_no_audio_found});
    EXPECT_EQ(command(command_output_close), 0);
    EXPECT_TRUE(read_bytes(dir.file("out.raw")).empty());
}

TEST_F(MpegPlayer, HandsItsCodecSettingsToTheCodec)
{
    // Mixed to one channel at half the rate, with a boost of the low subbands.
    auto mp3 = save("song.mp3", encode_lame(dir, make_signal(signal_kind::stereo, 44100, 2, 2.0), 44100, 2, "-b 160"));
    signed char bands[64] = {};
    for (int band = 0; band < 4; ++band)
        bands[band] = bands[32 + band] = 32;
    ASSERT_EQ(command(command_set_codec_channel_mode, 3), 0);
    ASSERT_EQ(command(command_set_codec_downsampling, 1), 0);
    ASSERT_EQ(command(command_set_codec_equalizer, static_cast<const void*>(bands)), 0);
    ASSERT_EQ(command(command_output_open, ("raw:" + dir.file("out.raw")).c_str()), 0);
    ASSERT_EQ(command(command_input_open, dir.file("song.mp3").c_str()), 0);
    ASSERT_EQ(command(command_play), 0);
    for (;;) {
        player_message m = next(notify_player_state);
        if (m.code == 0 || player_message_byte(&m, 4) == player_state_end_of_stream)
            break;
    }
    EXPECT_EQ(command(command_output_close), 0);
    melvox::mpeg::codec_parameters parameters;
    parameters.channel_mode = 3;
    parameters.downsampling = 1;
    parameters.equalizer = bands;
    decoding core = decode(mp3, parameters);
    EXPECT_EQ(core.channels, 1);
    EXPECT_EQ(core.rate, 22050);
    EXPECT_EQ(as_samples(read_bytes(dir.file("out.raw"))), core.samples);
}

} // namespace
