// melvox-play as a user runs it: conversions, exit status and messages.
#include "temp_dir.h"
#include "wave_files.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#ifdef _WIN32
#include "program_runner.h"
#else
#include <sys/wait.h>
#endif

namespace {

// Build paths made absolute from the folder that the test starts in, so that
// they still hold from the scratch folder (on Windows they may lack a drive).
const std::string melvox_play = std::filesystem::absolute(MELVOX_PLAY).string();
const std::string wave_module_library = std::filesystem::absolute(WAVE_MODULE_LIBRARY).string();

struct Outcome {
    int status = -1;
    std::string out, err;
};

class MelvoxPlay : public ::testing::Test {
protected:
    void SetUp() override
    {
        wave.data = noise16(2 * 44100 * 3 + 2 * 100);
        source = waveBytes(wave);
        writeBytes(dir.file("in.wav"), source);
    }

    // Runs melvox-play with arguments (shell words) in the scratch directory.
    Outcome play(const std::string& arguments)
    {
        Outcome r;
#ifdef _WIN32
        r.status = run_program("\"" + melvox_play + "\" " + arguments, dir.path(), &r.out, &r.err);
        r.err = unix_line_ends(r.err);
#else
        std::string command = "cd '" + dir.path() + "' && '" + melvox_play + "' " + arguments +
                              " > stdout.bin 2> stderr.txt";
        int status = std::system(command.c_str());
        r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        auto out = readBytes(dir.file("stdout.bin"));
        r.out.assign(out.begin(), out.end());
        r.err = readFile(dir.file("stderr.txt"));
#endif
        return r;
    }

    TempDir dir;
    WaveLayout wave;
    std::vector<uint8_t> source;
};

TEST_F(MelvoxPlay, ConvertsAWaveFileToTheSameWavFile)
{
    Outcome r = play("-q in.wav -o wav:out.wav");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(readBytes(dir.file("out.wav")), source);
}

// A file name without a prefix takes its format from its extension; an
// unknown prefix is refused rather than taken as part of a raw file's name.
TEST_F(MelvoxPlay, AnOutputFileNamesItsFormatByPrefixOrExtension)
{
    // What the file starts with: a WAV, AIFF or Sun header, or nothing (raw).
    const struct {
        std::string name, file, magic;
    } cases[] = {{"out.wav", "out.wav", "RIFF"},
                 {"OUT.WAV", "OUT.WAV", "RIFF"},
                 {"dir.wav/out.raw", "dir.wav/out.raw", ""},
                 {"out.aiff", "out.aiff", "FORM"},
                 {"out.au", "out.au", ".snd"},
                 {"out.pcm", "out.pcm", ""},
                 {"./flac:x", "flac:x", ""},
                 {"raw:bare.wav", "bare.wav", ""},
                 {dir.file("absolute.wav"), "absolute.wav", "RIFF"}};
    // AIFF and Sun files hold the samples big-endian after their header.
    std::vector<uint8_t> big_endian = wave.data;
    for (size_t i = 0; i + 1 < big_endian.size(); i += 2)
        std::swap(big_endian[i], big_endian[i + 1]);
    std::filesystem::create_directory(dir.file("dir.wav"));
    for (const auto& c : cases) {
        std::filesystem::remove(dir.file(c.file));
        Outcome r = play("-q in.wav -o \"" + c.name + "\"");
        EXPECT_EQ(r.status, 0) << c.name << ": " << r.err;
        std::vector<uint8_t> written = readBytes(dir.file(c.file));
        if (c.magic.empty() || c.magic == "RIFF") {
            EXPECT_EQ(written, c.magic.empty() ? wave.data : source) << c.name;
            continue;
        }
        ASSERT_GT(written.size(), big_endian.size()) << c.name;
        EXPECT_EQ(std::string(written.begin(), written.begin() + 4), c.magic) << c.name;
        EXPECT_TRUE(std::equal(big_endian.begin(), big_endian.end(), written.end() - big_endian.size())) << c.name;
    }
#ifndef _WIN32
    // sox reads the WAV file back as the samples that went in.
    std::string command = "sox '" + dir.file("out.wav") + "' -t raw '" + dir.file("sox.raw") + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(readBytes(dir.file("sox.raw")), wave.data);
#endif
    Outcome r = play("-q in.wav -o flac:out.flac");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("flac:out.flac: unknown output prefix \"flac:\""), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir.file("flac:out.flac")));
}

TEST_F(MelvoxPlay, InputsFollowOneAnotherIntoOneOutput)
{
    Outcome r = play("-q in.wav in.wav -o wav:twice.wav");
    ASSERT_EQ(r.status, 0) << r.err;
    auto out = readBytes(dir.file("twice.wav"));
    ASSERT_EQ(out.size(), 44 + 2 * wave.data.size());
    EXPECT_EQ(le32(out, 40), 2 * wave.data.size());
    EXPECT_TRUE(std::equal(wave.data.begin(), wave.data.end(), out.begin() + 44));
    EXPECT_TRUE(std::equal(wave.data.begin(), wave.data.end(), out.begin() + 44 + wave.data.size()));
}

TEST_F(MelvoxPlay, AMissingOrBrokenInputIsReportedAndTheOthersStillPlay)
{
    writeBytes(dir.file("text.wav"), std::vector<uint8_t>(200, 'x'));
    writeBytes(dir.file("page.html"), std::vector<uint8_t>(200, '<'));
    Outcome r = play("missing.wav in.wav text.wav page.html -o wav:out.wav");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("melvox-play: missing.wav: no such file\n"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("melvox-play: text.wav: unsupported format\n"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("melvox-play: page.html: no audio found in the stream\n"), std::string::npos) << r.err;
    EXPECT_EQ(readBytes(dir.file("out.wav")), source);
}

TEST_F(MelvoxPlay, StandardOutputTakesRawSamplesOrAWavStream)
{
    Outcome raw = play("-q in.wav -o raw:-");
    ASSERT_EQ(raw.status, 0) << raw.err;
    EXPECT_EQ(std::vector<uint8_t>(raw.out.begin(), raw.out.end()), wave.data);
    // A pipe cannot go back for the final sizes: the header says "until the
    // end" (0xFFFFFFFF) in both.
#ifdef _WIN32
    Outcome wav = play("-q in.wav -o wav:-"); // standard output is a pipe here
    ASSERT_EQ(wav.status, 0) << wav.err;
    std::vector<uint8_t> piped(wav.out.begin(), wav.out.end());
#else
    std::string command = "'" + melvox_play + "' -q '" + dir.file("in.wav") + "' -o wav:- | cat > '" +
                          dir.file("piped.wav") + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    auto piped = readBytes(dir.file("piped.wav"));
#endif
    ASSERT_EQ(piped.size(), source.size());
    EXPECT_EQ(le32(piped, 4), 0xFFFFFFFFu);
    EXPECT_EQ(le32(piped, 40), 0xFFFFFFFFu);
    EXPECT_TRUE(std::equal(wave.data.begin(), wave.data.end(), piped.begin() + 44));
}

TEST_F(MelvoxPlay, AWaveFileIsKnownByItsHeaderWithoutItsName)
{
    writeBytes(dir.file("no-extension"), source);
    Outcome r = play("-q no-extension -o raw:named.raw");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readBytes(dir.file("named.raw")), wave.data);
#ifndef _WIN32
    r = play("-q - -o raw:piped.raw < in.wav");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readBytes(dir.file("piped.raw")), wave.data);
#endif
}

TEST_F(MelvoxPlay, StartingAtAPositionSkipsTheBeginning)
{
    Outcome r = play("-q -s 1 in.wav -o raw:tail.raw");
    ASSERT_EQ(r.status, 0) << r.err;
    auto tail = readBytes(dir.file("tail.raw"));
    // One third of a 3 s stream, to the frame: about 2 s of it are left.
    ASSERT_GT(tail.size(), wave.data.size() * 2 / 3 - 4096);
    ASSERT_LT(tail.size(), wave.data.size() * 2 / 3 + 4096);
    EXPECT_EQ(tail.size() % 4, 0u);
    EXPECT_TRUE(std::equal(tail.begin(), tail.end(), wave.data.end() - static_cast<long>(tail.size())));
}

TEST_F(MelvoxPlay, CommandLineMistakesAreExplained)
{
    Outcome r = play("-o wav:out.wav");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("no input given"), std::string::npos);
    r = play("--bogus in.wav");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("unknown option --bogus"), std::string::npos);
    r = play("-e NOVALUE in.wav -o raw:x.raw");
    EXPECT_EQ(r.status, 2);
    r = play("-c sideways in.wav -o raw:x.raw");
    EXPECT_EQ(r.status, 2);
    r = play("-s soon in.wav -o raw:x.raw");
    EXPECT_EQ(r.status, 2);
    r = play("-h");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("Usage: melvox-play", 0), 0u);
}

TEST_F(MelvoxPlay, ModulesThatCannotBeLoadedStopIt)
{
    Outcome r = play("--codec-module /nonexistent/libnothing.so in.wav -o raw:x.raw");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("cannot load codec module /nonexistent/libnothing.so: library not found"), std::string::npos)
        << r.err;
    r = play("-q --input-module=nothing@" + wave_module_library + " in.wav -o raw:x.raw");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("symbol not found"), std::string::npos) << r.err;
}

TEST_F(MelvoxPlay, OptionsReachThePlayer)
{
    // A string and an integer variable, a channel mode: accepted, played.
    Outcome r = play(
        "-q -e NETWORK.HTTP.PROXY.HOSTNAME=proxy -e INPUT.STREAM.BUFFER-SIZE=65536 -c left in.wav -o raw:x.raw");
    EXPECT_EQ(r.status, 0) << r.err;
    // The same name as string and then integer is refused by the player.
    r = play("-q -e A=text -e A=5 in.wav -o raw:x.raw");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("cannot set A: invalid property or environment variable type"), std::string::npos) << r.err;
}

#ifdef _WIN32
// Copied alone into a folder, as a user may carry it: with the WAVE codec
// built into the Windows library, it needs no module library beside it.
TEST_F(MelvoxPlay, PlaysWithNoModuleLibraryBesideIt)
{
    std::filesystem::copy_file(melvox_play, dir.file("melvox-play.exe"));
    std::filesystem::copy_file(std::filesystem::absolute(SAMPLE_MPEG_FILE), dir.file("in.mp1"));
    const std::string alone = "\"" + dir.file("melvox-play.exe") + "\" ";
    std::string out, err;
    EXPECT_EQ(run_program(alone + "in.mp1 -o raw:mpeg.raw", dir.path(), &out, &err), 0) << err;
    EXPECT_EQ(err, "") << "nothing is missing";
    // 16-bit stereo PCM is several times larger than the 384 kbit/s stream.
    auto pcm = readBytes(dir.file("mpeg.raw"));
    EXPECT_GT(pcm.size(), 3 * std::filesystem::file_size(dir.file("in.mp1")));
    EXPECT_EQ(pcm.size() % 1536, 0u) << "whole Layer I frames of 384 stereo samples";

    EXPECT_EQ(run_program(alone + "-q in.wav -o raw:wave.raw", dir.path(), &out, &err), 0) << err;
    EXPECT_EQ(readBytes(dir.file("wave.raw")), wave.data);
}
#endif

#ifndef _WIN32 // a device that is always full exists on Linux only
TEST_F(MelvoxPlay, AnOutputThatCannotBeWrittenFailsThePlay)
{
    Outcome r = play("-q in.wav -o raw:/dev/full");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("cannot write output file"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("melvox-play: in.wav: write failed\n"), std::string::npos) << r.err;
}
#endif

} // namespace
