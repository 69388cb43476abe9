// The file input and file output modules inside a decoder of the test's
// own process.
#include "decoder/decoder.h"
#include "fake_modules.h"
#include "decoder/module_system.h"
#include "modules/builtin_modules.h"
#include "decoder/pipeline.h"
#include "recording_channel.h"
#include "temp_dir.h"
#include "wave_files.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

using namespace melvox;

namespace {

// A pipe whose reading end is in the mode that standard input has when
// redirected (text mode on Windows), and whose writing end passes bytes
// unchanged.
int make_pipe(int fds[2])
{
#ifdef _WIN32
    if (_pipe(fds, 4096, _O_TEXT) != 0)
        return -1;
    _setmode(fds[1], _O_BINARY);
    return 0;
#else
    return pipe(fds);
#endif
}

std::string text(const player_message* m, unsigned offset)
{
    auto s = static_cast<const char*>(player_message_pointer(m, offset));
    return s != nullptr ? s : "(null)";
}

class FileModules : public ::testing::Test {
protected:
    void SetUp() override
    {
        resetFakeModules();
        register_input_module(d, file_input_module_register);
        register_output_module(d, file_output_module_register);
        register_codec_module(d, scripted_codec_register);
    }

    std::string lastDebug() const
    {
        auto all = channel.all(notify_debug);
        return all.empty() ? "(none)" : text(all.back(), 8);
    }

    // Writes blocks through the open output.
    int write(const std::vector<uint8_t>& bytes, int channels, int rate)
    {
        output_filter_node* head = d.output_chain.head();
        return head->table.write(head, bytes.data(), static_cast<uint32_t>(bytes.size()), 2, channels, rate);
    }

    std::string property(const char* name)
    {
        const char* value;
        return d.properties.get_string(name, &value) == 0 ? value : "(absent)";
    }

    TempDir dir;
    RecordingChannel channel;
    player_decoder d{channel};
};

std::vector<uint8_t> expectedWavHeader(uint32_t dataBytes, uint32_t rate, uint16_t channels)
{
    WaveLayout wave;
    wave.rate = rate;
    wave.channels = channels;
    auto header = waveBytes(wave); // 44 bytes with data size 0
    header[4] = static_cast<uint8_t>(dataBytes + 36);
    header[5] = static_cast<uint8_t>((dataBytes + 36) >> 8);
    header[6] = static_cast<uint8_t>((dataBytes + 36) >> 16);
    header[7] = static_cast<uint8_t>((dataBytes + 36) >> 24);
    for (int i = 0; i < 4; ++i)
        header[40 + i] = static_cast<uint8_t>(dataBytes >> (8 * i));
    return header;
}

TEST_F(FileModules, AWavFileGetsItsHeaderWithTheFinalSizesAtClose)
{
    std::string path = dir.file("out.wav");
    ASSERT_EQ(output_new(d, ("wav:" + path).c_str(), -1), 0);
    ASSERT_EQ(output_open(d), 0);
    auto first = noise16(1000, 1), second = noise16(600, 2);
    ASSERT_EQ(write(first, 2, 22050), 0);
    // A later format change goes in as samples without a mark.
    ASSERT_EQ(write(second, 1, 8000), 0);
    ASSERT_EQ(output_close(d), 0);
    auto bytes = readBytes(path);
    ASSERT_EQ(bytes.size(), 44 + 3200u);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 44), expectedWavHeader(3200, 22050, 2));
    EXPECT_TRUE(std::equal(first.begin(), first.end(), bytes.begin() + 44));
    EXPECT_TRUE(std::equal(second.begin(), second.end(), bytes.begin() + 44 + 2000));

    // Opening again starts a new file.
    ASSERT_EQ(output_open(d), 0);
    ASSERT_EQ(output_close(d), 0);
    EXPECT_EQ(readBytes(path), expectedWavHeader(0, 44100, 2)); // nothing written: the defaults
}

TEST_F(FileModules, OtherNamesGetBareSamples)
{
    auto samples = noise16(300, 3);
    for (const char* name : {"raw:a.pcm", "plain.pcm", "odd:name.pcm"}) {
        std::string full = std::string(name);
        size_t colon = full.find(':');
        bool prefixed = colon != std::string::npos && full.compare(0, 4, "odd:") != 0;
        std::string file = prefixed ? full.substr(colon + 1) : full;
        std::string output = prefixed ? full.substr(0, colon + 1) + dir.file(file) : dir.file(full);
        ASSERT_EQ(output_new(d, output.c_str(), -1), 0) << name;
        ASSERT_EQ(output_open(d), 0) << name;
        ASSERT_EQ(write(samples, 2, 44100), 0);
        ASSERT_EQ(output_close(d), 0);
        EXPECT_EQ(readBytes(dir.file(file)), samples) << name;
    }
}

#ifndef _WIN32
// Readers of their own, sox and ffmpeg, read every file format back to the
// samples written: from a file, whose header gets the final sizes at close,
// and through a FIFO, where the header cannot be rewritten and must say
// "until the end" so that the whole stream is read.
TEST_F(FileModules, SoxAndFfmpegReadEachFileFormatBack)
{
    for (std::string tool : {"sox", "ffmpeg"})
        if (std::system(("command -v " + tool + " > /dev/null 2>&1").c_str()) != 0)
            GTEST_SKIP() << tool << " missing (scripts/setup installs it)";
    struct format_case {
        const char* prefix;
        const char* type; // as sox and ffmpeg name it
    };
    const format_case formats[] = {{"wav:", "wav"}, {"aiff:", "aiff"}, {"sun:", "au"}};
    // Each reader converts to little-endian 16-bit at the rate and channels
    // written, so a header with a wrong rate or channel count changes the
    // samples too.
    const char* readers[] = {"sox -t %s '%s' -t raw -e signed -b 16 -L -r %d -c %d '%s' 2>&1",
                             "ffmpeg -nostdin -loglevel error -y -f %s -i '%s' -f s16le -ar %d -ac %d '%s' 2>&1"};
    std::string fifo = dir.file("stream");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const format_case& f : formats)
        for (const char* reader : readers)
            for (bool through_fifo : {false, true}) {
                int channels = through_fifo ? 1 : 2, rate = through_fifo ? 8000 : 22050;
                std::string file = through_fifo ? fifo : dir.file(std::string("out.") + f.type);
                std::string decoded = dir.file("decoded.raw");
                char command[512];
                std::snprintf(command, sizeof command, reader, f.type, file.c_str(), rate, channels, decoded.c_str());
                std::string where = std::string(f.prefix) + (through_fifo ? "FIFO " : "file ") + command;
                std::FILE* running = nullptr;
                if (through_fifo) { // the reader opens the FIFO's other end while the output writes
                    ASSERT_NE(running = popen(command, "r"), nullptr);
                }
                ASSERT_EQ(output_new(d, (f.prefix + file).c_str(), -1), 0);
                ASSERT_EQ(output_open(d), 0) << where;
                auto first = noise16(3000, 4), second = noise16(1000, 5);
                ASSERT_EQ(write(first, channels, rate), 0);
                ASSERT_EQ(write(second, channels, rate), 0);
                ASSERT_EQ(output_close(d), 0);
                if (!through_fifo) {
                    ASSERT_NE(running = popen(command, "r"), nullptr);
                }
                char said[512] = "";
                std::fread(said, 1, sizeof said - 1, running);
                EXPECT_EQ(pclose(running), 0) << where << ": " << said;
                first.insert(first.end(), second.begin(), second.end());
                EXPECT_TRUE(readBytes(decoded) == first) << where << ": " << said;
            }
}
#endif

TEST_F(FileModules, OutputFailuresAreReportedWithTheirCause)
{
    ASSERT_EQ(output_new(d, ("wav:" + dir.file("no/such/dir.wav")).c_str(), -1), 0);
    EXPECT_EQ(output_open(d), error_open_failed);
    EXPECT_EQ(lastDebug(), std::string("cannot open output file (") + std::strerror(ENOENT) + ")");
    EXPECT_EQ(output_new(d, "", -1), error_invalid_parameters);
    EXPECT_EQ(lastDebug(), "internal error (null params or null/empty output name)");
#ifndef _WIN32            // Windows has access lists instead of mode bits
    if (geteuid() != 0) { // the superuser may write anywhere
        ASSERT_EQ(mkdir(dir.file("locked").c_str(), 0500), 0);
        ASSERT_EQ(output_new(d, dir.file("locked/x.pcm").c_str(), -1), 0);
        EXPECT_EQ(output_open(d), error_permission_denied);
        EXPECT_EQ(lastDebug(), "cannot open output file (permission denied)");
    }
#endif
}

TEST_F(FileModules, TheOutputDescribesItsThreeDevices)
{
    ASSERT_EQ(query_module(d, module_kind_output, 0), 0);
    EXPECT_EQ(text(channel.find(notify_output_module_info), 8), "Output To File");
    auto devices = channel.all(notify_output_device_info);
    ASSERT_EQ(devices.size(), 3u);
    EXPECT_EQ(text(devices[0], 8), "*, or raw:*");
    EXPECT_EQ(text(devices[0], 12), "file name (raw PCM format)");
    EXPECT_EQ(text(devices[1], 8), "wav:*");
    EXPECT_EQ(player_message_byte(devices[1], 6), device_is_pattern);
    EXPECT_EQ(text(devices[2], 8), "-");
    EXPECT_EQ(player_message_byte(devices[2], 6), 0);
}

std::vector<uint8_t> id3Tag(const std::string& title, const std::string& artist, uint8_t genre)
{
    std::vector<uint8_t> tag(128, 0);
    std::memcpy(tag.data(), "TAG", 3);
    std::memcpy(tag.data() + 3, title.data(), std::min<size_t>(30, title.size()));
    std::memcpy(tag.data() + 33, artist.data(), std::min<size_t>(30, artist.size()));
    std::memset(tag.data() + 63, ' ', 30); // album: only spaces
    std::memcpy(tag.data() + 93, "2001", 4);
    std::memcpy(tag.data() + 97, "demo party", 10);
    tag[127] = genre;
    return tag;
}

TEST_F(FileModules, AnMp3NameHasItsTagPublishedAndIsReadFromTheStart)
{
    std::vector<uint8_t> bytes = {'A', 'B', 'C', 'D'};
    auto tag = id3Tag("Vexa " + std::string(25, ' '), "", 17);
    bytes.insert(bytes.end(), tag.begin(), tag.end());
    writeBytes(dir.file("song.mp3"), bytes);
    ASSERT_EQ(input_new(d, dir.file("song.mp3").c_str(), -1), 0);
    ASSERT_EQ(input_open(d), 0);
    EXPECT_EQ(property("id3/title"), "Vexa");
    EXPECT_EQ(property("id3/artist"), "");
    EXPECT_EQ(property("id3/album"), "");
    EXPECT_EQ(property("id3/year"), "2001");
    EXPECT_EQ(property("id3/comment"), "demo party");
    EXPECT_EQ(property("id3/genre"), "Rock");
    EXPECT_TRUE(d.stream.info.flags & stream_properties_changed);
    uint8_t first[4];
    ASSERT_EQ(read_input(d, first, 4), 0);
    EXPECT_EQ(std::memcmp(first, "ABCD", 4), 0);
    input_close(d);

    // Genre 255 names nothing; an upper-case extension is not examined.
    tag = id3Tag("Other", "Someone", 255);
    writeBytes(dir.file("other.mp3"), tag);
    writeBytes(dir.file("UPPER.MP3"), tag);
    ASSERT_EQ(input_new(d, dir.file("other.mp3").c_str(), -1), 0);
    ASSERT_EQ(input_open(d), 0);
    EXPECT_EQ(property("id3/title"), "Other");
    EXPECT_EQ(property("id3/genre"), "(absent)");
    input_close(d);
    ASSERT_EQ(input_new(d, dir.file("UPPER.MP3").c_str(), -1), 0);
    ASSERT_EQ(input_open(d), 0);
    EXPECT_EQ(property("id3/title"), "(absent)");
}

TEST_F(FileModules, ReadsAreWholeBlocksOrTheEnd)
{
    writeBytes(dir.file("k.bin"), std::vector<uint8_t>(1000, 7));
    ASSERT_EQ(input_new(d, dir.file("k.bin").c_str(), -1), 0);
    ASSERT_EQ(input_open(d), 0);
    EXPECT_EQ(d.input.size, 1000u);
    EXPECT_EQ(d.input.caps, static_cast<uintptr_t>(input_caps_seekable));
    uint8_t block[400];
    EXPECT_EQ(read_input(d, block, 400), 0);
    EXPECT_EQ(read_input(d, block, 400), 0);
    EXPECT_EQ(read_input(d, block, 400), error_end_of_input_stream);
    EXPECT_EQ(d.input.position, 800u);
}

TEST_F(FileModules, InputFailuresAreReportedWithTheirCause)
{
    ASSERT_EQ(input_new(d, dir.file("missing.wav").c_str(), -1), 0);
    EXPECT_EQ(input_open(d), error_no_such_file);
    EXPECT_EQ(lastDebug(), "cannot open input file (file not found)");
    EXPECT_FALSE(d.input_is_open());
    ASSERT_EQ(input_new(d, dir.path().c_str(), -1), 0);
    EXPECT_EQ(input_open(d), error_open_failed);
    EXPECT_EQ(lastDebug(), std::string("cannot open input file (") + std::strerror(EISDIR) + ")");
    EXPECT_EQ(input_new(d, "", -1), error_invalid_parameters);
    EXPECT_EQ(lastDebug(), "internal error (null params or null/empty input name)");
#ifndef _WIN32
    if (geteuid() != 0) {
        writeBytes(dir.file("secret.wav"), {1, 2, 3});
        chmod(dir.file("secret.wav").c_str(), 0);
        ASSERT_EQ(input_new(d, dir.file("secret.wav").c_str(), -1), 0);
        EXPECT_EQ(input_open(d), error_permission_denied);
        EXPECT_EQ(lastDebug(), "cannot open input file (permission denied)");
    }
#endif
}

TEST_F(FileModules, TheNameDashReadsStandardInput)
{
    int fds[2];
    ASSERT_EQ(make_pipe(fds), 0);
    int saved = dup(STDIN_FILENO);
    ASSERT_EQ(dup2(fds[0], STDIN_FILENO), STDIN_FILENO);
    close(fds[0]);
    // Line ends and 0x1A (an end of file to a text stream) arrive unchanged.
    ASSERT_EQ(::write(fds[1],
                      "0\r\n3\x1a"
                      "56789",
                      10),
              10);
    close(fds[1]);
    clearerr(stdin);
    ASSERT_EQ(input_new(d, "-", -1), 0);
    ASSERT_EQ(input_open(d), 0);
    EXPECT_EQ(d.input.caps, 0u);
    EXPECT_EQ(d.input.size, 0u);
    char got[6];
    EXPECT_EQ(read_input(d, got, 6), 0);
    EXPECT_EQ(std::string(got, 6), "0\r\n3\x1a"
                                   "5");
    EXPECT_EQ(read_input(d, got, 6), error_end_of_input_stream);
    input_filter_node* head = d.input_chain.head();
    EXPECT_EQ(head->table.seek(head, 0), error_no_such_interface);
    input_close(d);
    dup2(saved, STDIN_FILENO);
    close(saved);
    clearerr(stdin);
}

#ifndef _WIN32
// Standard input as a pipe is read as its bytes come: a block that has
// partly come when a command must be taken is kept, and completed by the
// next read.
TEST_F(FileModules, APipeThatPausesLosesNothingToACommand)
{
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    int saved = dup(STDIN_FILENO);
    ASSERT_EQ(dup2(fds[0], STDIN_FILENO), STDIN_FILENO);
    close(fds[0]);
    ASSERT_EQ(input_new(d, "-", -1), 0);
    ASSERT_EQ(::write(fds[1], "RIF", 3), 3); // part of what the open looks at
    channel.waitAnswer = error_timeout;
    ASSERT_EQ(input_open(d), 0);
    char got[8];
    EXPECT_EQ(read_input(d, got, 8), error_timeout);
    ASSERT_EQ(::write(fds[1], "abcdefgh", 8), 8);
    channel.waitAnswer = 0;
    EXPECT_EQ(read_input(d, got, 8), 0);
    EXPECT_EQ(std::string(got, 8), "RIFabcde");
    EXPECT_EQ(d.input.position, 8u);
    channel.waitAnswer = error_timeout;
    EXPECT_EQ(read_input(d, got, 4), error_timeout);
    close(fds[1]);
    EXPECT_EQ(read_input(d, got, 3), 0);
    EXPECT_EQ(std::string(got, 3), "fgh");
    EXPECT_EQ(read_input(d, got, 1), error_end_of_input_stream);
    input_close(d);
    dup2(saved, STDIN_FILENO);
    close(saved);
}
#endif

} // namespace
