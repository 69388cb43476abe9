// The network input against a real streaming server: Debian's icecast2 on
// loopback, fed an MP3 by the ezstream source client.
#include "helper_process.h"
#include "http_client.h"
#include "input_session.h"
#include "loopback_server.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <unistd.h>

using namespace melvox::net;
using net_test::input_session;

namespace {

std::string read_file(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class icecast_stream {
public:
    icecast_stream()
    {
        dir_ = std::filesystem::temp_directory_path() / ("melvox-icecast-" + std::to_string(getpid()));
        std::filesystem::create_directories(dir_);
        // icecast drops to user nobody, which must write its logs here.
        std::filesystem::permissions(dir_, std::filesystem::perms::all);
        port_ = net_test::free_port(false);
        if (!make_song())
            return;
        write_configs();
        icecast_ = std::make_unique<net_test::helper_process>(
            std::vector<std::string>{"/usr/bin/icecast2", "-c", (dir_ / "icecast.xml").string()});
        if (!wait_until([&] { return server_answers(); }))
            return;
        ezstream_ = std::make_unique<net_test::helper_process>(
            std::vector<std::string>{"/usr/bin/ezstream", "-c", (dir_ / "ezstream.xml").string()});
        ready_ = wait_until([&] { return mount_plays(); });
    }

    ~icecast_stream()
    {
        ezstream_.reset();
        icecast_.reset();
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }

    bool ready() const { return ready_; }
    std::string url(const std::string& scheme) const
    {
        return scheme + "://127.0.0.1:" + std::to_string(port_) + "/test.mp3";
    }
    const std::string& song() const { return song_; }

private:
    // Eight seconds of two tones through lame, tagged so that the server has
    // a stream title to send.
    bool make_song()
    {
        std::ofstream raw(dir_ / "tone.raw", std::ios::binary);
        for (int i = 0; i < 44100 * 8; ++i) {
            double t = i / 44100.0;
            auto v = int16_t(8000 * std::sin(2 * M_PI * 440 * t) + 4000 * std::sin(2 * M_PI * 660 * t * (1 + t / 8)));
            raw.write(reinterpret_cast<const char*>(&v), 2).write(reinterpret_cast<const char*>(&v), 2);
        }
        raw.close();
        std::string command = "lame --quiet -r -s 44.1 --bitwidth 16 -b 128 --tt Song --ta Tester " +
                              (dir_ / "tone.raw").string() + " " + (dir_ / "tone.mp3").string();
        if (std::system(command.c_str()) != 0)
            return false;
        song_ = read_file(dir_ / "tone.mp3");
        return song_.size() > 100000;
    }

    void write_configs()
    {
        std::string owner = geteuid() == 0 ? "<changeowner><user>nobody</user><group>nogroup</group></changeowner>"
                                           : "";
        std::ofstream(dir_ / "icecast.xml")
            << "<icecast><limits><clients>10</clients><sources>2</sources><burst-size>65535</burst-size></limits>"
               "<authentication><source-password>melvox</source-password><admin-user>admin</admin-user>"
               "<admin-password>melvox</admin-password></authentication><hostname>127.0.0.1</hostname>"
               "<listen-socket><port>"
            << port_
            << "</port><bind-address>127.0.0.1</bind-address></listen-socket>"
               "<paths><basedir>/usr/share/icecast2</basedir><logdir>"
            << dir_.string() << "</logdir><webroot>/usr/share/icecast2/web</webroot>"
            << "<adminroot>/usr/share/icecast2/admin</adminroot></paths>"
               "<logging><errorlog>error.log</errorlog><loglevel>2</loglevel></logging>"
               "<security><chroot>0</chroot>"
            << owner << "</security></icecast>\n";
        auto ezstream = dir_ / "ezstream.xml";
        std::ofstream(ezstream) << "<ezstream><servers><server><hostname>127.0.0.1</hostname><port>" << port_
                                << "</port><password>melvox</password></server></servers>"
                                   "<streams><stream><mountpoint>/test.mp3</mountpoint><format>MP3</format>"
                                   "</stream></streams><intakes><intake><type>file</type><filename>"
                                << (dir_ / "tone.mp3").string() << "</filename></intake></intakes></ezstream>\n";
        // ezstream reads only a configuration that no one else can read.
        std::filesystem::permissions(ezstream,
                                     std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    }

    template <class Check>
    static bool wait_until(Check check)
    {
        for (int i = 0; i < 100; ++i) {
            if (check())
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return false;
    }

    bool server_answers() const
    {
        socket_handle s = no_socket;
        if (connect_stream("127.0.0.1", port_, 200, &s) != 0)
            return false;
        close_socket(s);
        return true;
    }

    bool mount_plays() const
    {
        melvox::net::url target;
        parse_url(url("http").c_str(), &target);
        net_connection conn;
        int32_t length = 0;
        return http_get(conn, target, &length, nullptr, nullptr, silent_reporter()) == 0;
    }

    std::filesystem::path dir_;
    uint16_t port_ = 0;
    std::string song_;
    std::unique_ptr<net_test::helper_process> icecast_;
    std::unique_ptr<net_test::helper_process> ezstream_;
    bool ready_ = false;
};

// Reads up to want bytes (at most ten seconds).
std::string read_stream(input_session& session, size_t want)
{
    std::string all;
    char piece[1024];
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (all.size() < want && std::chrono::steady_clock::now() < end) {
        int got = network_input_read(session.input, piece, std::min(sizeof piece, want - all.size()));
        if (got > 0)
            all.append(piece, size_t(got));
        else if (got != error_timeout)
            break;
    }
    return all;
}

// Whether the bytes are a run of the looping song, joined anywhere.
bool part_of_loop(const std::string& bytes, const std::string& song)
{
    std::string twice = song + song;
    size_t at = twice.find(bytes.substr(0, 512));
    return at != std::string::npos && at < song.size() && twice.compare(at, bytes.size(), bytes) == 0;
}

} // namespace

TEST(Icecast, HttpAndIcyStreamsCarryTheSongAndItsTitle)
{
    icecast_stream stream;
    ASSERT_TRUE(stream.ready()) << "needs Debian's icecast2, ezstream and lame";

    input_session http;
    ASSERT_EQ(http.open(stream.url("http")), 0);
    EXPECT_EQ(http.input->mime_type, "audio/mpeg");
    std::string bytes = read_stream(http, 60000);
    ASSERT_EQ(bytes.size(), 60000u);
    EXPECT_TRUE(part_of_loop(bytes, stream.song()));
    EXPECT_EQ(http.reporter.properties().count("http/icy-metaint"), 0u);

    input_session icy;
    icy.environment.set_integer("INPUT.STREAM.ACCEPT-ICY", 1);
    ASSERT_EQ(icy.open(stream.url("icy")), 0);
    EXPECT_EQ(icy.reporter.properties()["http/icy-metaint"], "16000");
    bytes = read_stream(icy, 60000);
    ASSERT_EQ(bytes.size(), 60000u);
    EXPECT_TRUE(part_of_loop(bytes, stream.song())) << "the metadata is cut out of the audio";
    EXPECT_EQ(icy.reporter.properties()["icy/StreamTitle"], "'Tester - Song'");
}
