// melvox-play as a user runs it: conversions, exit status and messages.
#include "temp_dir.h"
#include "wave_files.h"

#include "melvox.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#ifdef _WIN32
#include "program_runner.h"
#else
#include "child_processes.h"

#include <csignal>
#include <thread>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
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
    // Each failure once, with the reason that the module gave.
    EXPECT_NE(r.err.find("melvox-play: missing.wav: no such file: cannot open input file (file not found)\n"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(r.err.find("file not found"), r.err.rfind("file not found")) << r.err;
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

// Options as getopt_long takes them: bundled, long, abbreviated, after the
// inputs, and -- before an input that looks like an option.
TEST_F(MelvoxPlay, OptionsFollowGetoptLongConventions)
{
    writeBytes(dir.file("-dash.wav"), source);
    for (const char* line :
         {"-qo out.raw in.wav", "-qoout.raw in.wav", "--quiet --output=out.raw in.wav", "--qui --output out.raw in.wav",
          "in.wav -q --output out.raw", "-q -o out.raw -- -dash.wav",
          "--quiet --channels=stereo --start=0 --environment=A=1 -o out.raw in.wav"}) {
        std::filesystem::remove(dir.file("out.raw"));
        Outcome r = play(line);
        EXPECT_EQ(r.status, 0) << line << ": " << r.err;
        EXPECT_EQ(r.err, "") << line;
        EXPECT_EQ(readBytes(dir.file("out.raw")), wave.data) << line;
    }
    const struct {
        std::string line, message;
    } refused[] = {{"--bogus in.wav", "unknown option --bogus"},
                   {"-qx in.wav", "unknown option -x"},
                   {"in.wav --output", "option --output needs a value"},
                   {"in.wav -o", "option -o needs a value"},
                   {"--quiet=1 in.wav", "option --quiet takes no value"},
                   {"--o x in.wav", "ambiguous option --o"},
                   {"--start=soon in.wav", "option --start needs a number of seconds, not \"soon\""}};
    for (const auto& c : refused) {
        Outcome r = play(c.line);
        EXPECT_EQ(r.status, 2) << c.line;
        EXPECT_NE(r.err.find("melvox-play: " + c.message + "\n"), std::string::npos) << c.line << ": " << r.err;
    }
    Outcome r = play("--version");
    EXPECT_EQ(r.status, 0);
#ifdef _WIN32
    r.out = unix_line_ends(r.out);
#endif
    EXPECT_EQ(r.out, "melvox-play, Melvox library " MELVOX_VERSION_STRING "\n");
}

// Each input starts with a line of its name and format, and the title and
// artist that its tag names; -q shows none of it.
TEST_F(MelvoxPlay, EachInputTellsItsFormatAsItStarts)
{
    std::filesystem::copy_file(std::filesystem::absolute(SAMPLE_MPEG_FILE), dir.file("in.mp1"));
    WaveLayout mono;
    mono.channels = 1;
    mono.rate = 22050;
    mono.bits = 8;
    mono.data = std::vector<uint8_t>(22050, 0x80);
    writeBytes(dir.file("mono.wav"), waveBytes(mono));
    // A Layer III file with an ID3v1 tag at its end: "TAG", then title,
    // artist and album in 30 bytes each, year, comment and genre.
    std::vector<uint8_t> tagged = readBytes(std::filesystem::absolute(SAMPLE_LAYER3_FILE).string());
    std::string tag = "TAG" + std::string("Song") + std::string(26, '\0') + "Band" + std::string(26, '\0');
    tag.resize(128, '\0');
    tagged.insert(tagged.end(), tag.begin(), tag.end());
    writeBytes(dir.file("tagged.mp3"), tagged);
    Outcome r = play("in.wav mono.wav in.mp1 tagged.mp3 -o raw:x.raw");
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* line : {"melvox-play: in.wav: WAVE PCM, 44100 Hz, stereo, 16 bit\n",
                             "melvox-play: mono.wav: WAVE PCM, 22050 Hz, mono, 8 bit\n",
                             "melvox-play: in.mp1: MPEG-1 Layer I, 44100 Hz, stereo, 384 kbit/s\n",
                             "melvox-play: tagged.mp3: MPEG-1 Layer III, 44100 Hz, joint stereo, "})
        EXPECT_NE(r.err.find(line), std::string::npos) << line << r.err;
    EXPECT_NE(r.err.find(" kbit/s, Song by Band\n"), std::string::npos) << r.err;
    r = play("-q in.wav tagged.mp3 -o raw:x.raw");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
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
    EXPECT_EQ(run_program(alone + "-q in.mp1 -o raw:mpeg.raw", dir.path(), &out, &err), 0) << err;
    EXPECT_EQ(err, "") << "nothing is missing: -q shows failures only";
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
    EXPECT_EQ(r.err, "melvox-play: in.wav: write failed: cannot write output file (No space left on device)\n");
}

// A stop signal (Ctrl-C to the process group, SIGTERM, SIGHUP) in the middle
// of a stream: melvox-play finishes the WAV file, ends its processes and
// exits with 128 + the signal.
TEST_F(MelvoxPlay, AStopSignalFinishesTheWavFileAndEndsEveryProcess)
{
    // A WAVE stream of unknown length on standard input, fed while it plays.
    std::vector<uint8_t> header(source.begin(), source.begin() + 44);
    for (size_t at : {4, 40})
        std::fill(header.begin() + static_cast<long>(at), header.begin() + static_cast<long>(at) + 4, 0xff);
    std::signal(SIGPIPE, SIG_IGN);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        int feed[2];
        ASSERT_EQ(pipe(feed), 0);
        pid_t child = fork();
        if (child == 0) {
            setpgid(0, 0);
            dup2(feed[0], 0);
            close(feed[0]);
            close(feed[1]);
            if (chdir(dir.path().c_str()) == 0)
                execl(melvox_play.c_str(), melvox_play.c_str(), "-q", "-", "-o", "wav:stopped.wav", nullptr);
            _exit(127);
        }
        close(feed[0]);
        setpgid(child, child);
        std::thread feeder([&, fd = feed[1]] {
            bool ok = write(fd, header.data(), header.size()) == static_cast<ssize_t>(header.size());
            while (ok)
                ok = write(fd, wave.data.data(), wave.data.size()) > 0;
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        std::vector<pid_t> sides = childProcesses(child);
        for (pid_t decoder : childProcesses(child))
            for (pid_t feedback : childProcesses(decoder))
                sides.push_back(feedback);
        auto sent = std::chrono::steady_clock::now();
        kill(-child, signal);
        // Figures for the record, not limits: when the last player process
        // ended (a zombie until melvox-play takes it), and melvox-play.
        auto since = [&] {
            return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - sent).count();
        };
        for (pid_t side : sides)
            while (processState(side) != 0 && processState(side) != 'Z')
                std::this_thread::sleep_for(std::chrono::microseconds(200));
        double sides_ended = since();
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        std::printf("signal %d: %zu player processes ended after %.1f ms, melvox-play after %.1f ms\n", signal,
                    sides.size(), sides_ended, since());
        bool group_left = kill(-child, 0) == 0;
        close(feed[1]);
        feeder.join();
        ASSERT_TRUE(WIFEXITED(status)) << signal;
        EXPECT_EQ(WEXITSTATUS(status), 128 + signal);
        EXPECT_FALSE(group_left) << "a player process outlived melvox-play";
        // sox reads as many samples as the header says that the file holds.
        auto file = readBytes(dir.file("stopped.wav"));
        ASSERT_GT(file.size(), 44u);
        EXPECT_EQ(le32(file, 40), file.size() - 44);
        std::string command = "soxi -s '" + dir.file("stopped.wav") + "' > '" + dir.file("samples.txt") + "'";
        ASSERT_EQ(std::system(command.c_str()), 0);
        EXPECT_EQ(std::stoul(readFile(dir.file("samples.txt"))), (file.size() - 44) / 4);
        EXPECT_GT(file.size() - 44, 0u);
    }
}
#endif

} // namespace
