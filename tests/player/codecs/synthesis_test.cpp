// The fast polyphase synthesis against the standard's direct matrixing,
// windowing and summation, computed slowly in double precision.
#include "mpeg_tables.h"
#include "synthesis.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <numbers>
#include <random>
#include <vector>

using namespace melvox::mpeg;

namespace {

// The standard's synthesis: V = N S shifted into a 1024-value FIFO, U built
// from it, windowed by D and summed; scaled to 16-bit units, not rounded.
class direct_synthesis {
public:
    std::array<double, 32> row(const float* samples)
    {
        for (int i = 1023; i >= 64; --i)
            v_[i] = v_[i - 64];
        for (int i = 0; i < 64; ++i) {
            double sum = 0.0;
            for (int k = 0; k < 32; ++k)
                sum += std::cos((16 + i) * (2 * k + 1) * std::numbers::pi / 64) * samples[k];
            v_[i] = sum;
        }
        std::array<double, 512> u;
        for (int i = 0; i < 8; ++i)
            for (int j = 0; j < 32; ++j) {
                u[64 * i + j] = v_[128 * i + j];
                u[64 * i + 32 + j] = v_[128 * i + 96 + j];
            }
        std::array<double, 32> out{};
        for (int j = 0; j < 32; ++j)
            for (int i = 0; i < 16; ++i)
                out[j] += u[32 * i + j] * tables::synthesis_window[32 * i + j] * 32768.0;
        return out;
    }

private:
    std::array<double, 1024> v_{};
};

std::vector<std::array<float, 32>> random_rows(int count, double amplitude, unsigned seed)
{
    std::mt19937 random(seed);
    std::normal_distribution<double> normal(0.0, amplitude);
    std::vector<std::array<float, 32>> rows(static_cast<size_t>(count));
    for (auto& row : rows)
        for (int k = 0; k < 32; ++k)
            row[k] = static_cast<float>(normal(random) / (1 + k / 4)); // more energy low, like music
    return rows;
}

// Runs the rows through a channel; returns its output.
std::vector<int16_t> synthesize(std::vector<std::array<float, 32>> rows, int shift = 0, const float* gains = nullptr)
{
    synthesis_channel channel;
    channel.set_shift(shift);
    channel.set_equalizer(gains);
    std::vector<int16_t> out(rows.size() * 32);
    channel.set_output(out.data(), 1);
    for (auto& row : rows)
        channel.synthesize_row(row.data());
    out.resize(static_cast<size_t>(channel.cursor() - out.data()));
    return out;
}

TEST(Synthesis, MatchesTheDirectMatrixingToRounding)
{
    auto rows = random_rows(400, 0.05, 3);
    std::vector<int16_t> fast = synthesize(rows);
    direct_synthesis direct;
    double sum = 0.0;
    int worst = 0;
    double max_error = 0.0; // against the unrounded reference
    for (size_t r = 0; r < rows.size(); ++r) {
        auto expected = direct.row(rows[r].data());
        for (int j = 0; j < 32; ++j) {
            double exact = expected[j];
            int16_t got = fast[r * 32 + static_cast<size_t>(j)];
            int rounded = static_cast<int>(std::lrint(std::clamp(exact, -32768.0, 32767.0)));
            worst = std::max(worst, std::abs(got - rounded));
            max_error = std::max(max_error, std::abs(got - exact));
            sum += (got - rounded) * (got - rounded);
        }
    }
    EXPECT_LE(worst, 1);
    EXPECT_LT(max_error, 0.52); // rounding itself accounts for 0.5
    EXPECT_LT(std::sqrt(sum / static_cast<double>(fast.size())), 0.05);
}

TEST(Synthesis, ClipsInsteadOfWrapping)
{
    auto rows = random_rows(64, 4.0, 5); // far beyond full scale
    std::vector<int16_t> fast = synthesize(rows);
    direct_synthesis direct;
    int clipped = 0;
    for (size_t r = 0; r < rows.size(); ++r) {
        auto expected = direct.row(rows[r].data());
        for (int j = 0; j < 32; ++j) {
            int16_t got = fast[r * 32 + static_cast<size_t>(j)];
            if (expected[j] > 32768.0) {
                EXPECT_EQ(got, 32767);
                ++clipped;
            } else if (expected[j] < -32769.0) {
                EXPECT_EQ(got, -32768);
                ++clipped;
            }
        }
    }
    EXPECT_GT(clipped, 100);
}

TEST(Synthesis, RoundsToNearestEvenAndClips)
{
    EXPECT_EQ(round_and_clip(0.5f), 0);
    EXPECT_EQ(round_and_clip(1.5f), 2);
    EXPECT_EQ(round_and_clip(-0.5f), 0);
    EXPECT_EQ(round_and_clip(-2.5f), -2);
    EXPECT_EQ(round_and_clip(2.6f), 3);
    EXPECT_EQ(round_and_clip(32767.4f), 32767);
    EXPECT_EQ(round_and_clip(1e9f), 32767);
    EXPECT_EQ(round_and_clip(-32768.4f), -32768);
    EXPECT_EQ(round_and_clip(-1e9f), -32768);
}

TEST(Synthesis, DecimationKeepsEverySecondOrFourthSample)
{
    auto rows = random_rows(100, 0.05, 9);
    std::vector<int16_t> full = synthesize(rows);
    for (int shift : {1, 2}) {
        std::vector<int16_t> reduced = synthesize(rows, shift);
        ASSERT_EQ(reduced.size(), full.size() >> shift);
        for (size_t i = 0; i < reduced.size(); ++i)
            ASSERT_EQ(reduced[i], full[i << shift]) << "shift " << shift << " sample " << i;
    }
}

TEST(Synthesis, SilenceRowsLeaveTheFilterMemoryAlone)
{
    auto rows = random_rows(20, 0.05, 11);
    std::vector<int16_t> plain = synthesize(rows);

    synthesis_channel channel;
    std::vector<int16_t> out((rows.size() + 1) * 64, 1234);
    channel.set_output(out.data(), 2); // interleaved: every second slot
    for (size_t r = 0; r < rows.size(); ++r) {
        if (r == 10)
            channel.silence_row();
        auto row = rows[r];
        channel.synthesize_row(row.data());
    }
    EXPECT_EQ(channel.cursor() - out.data(), static_cast<long>((rows.size() + 1) * 64));
    for (size_t i = 0; i < rows.size() * 32; ++i) {
        size_t at = i < 320 ? i : i + 32; // the silent row sits after row 9
        ASSERT_EQ(out[2 * at], plain[i]) << i;
        ASSERT_EQ(out[2 * at + 1], 1234) << "the other channel's slots are untouched";
    }
    for (size_t i = 320; i < 352; ++i)
        EXPECT_EQ(out[2 * i], 0);
}

TEST(Synthesis, EqualizerGainsScaleSubbands)
{
    auto rows = random_rows(60, 0.02, 13);
    std::vector<int16_t> plain = synthesize(rows);
    std::array<float, 32> ones;
    ones.fill(1.0f);
    EXPECT_EQ(synthesize(rows, 0, ones.data()), plain) << "gains of exactly 1 change nothing";

    std::array<float, 32> twice;
    twice.fill(2.0f);
    std::vector<int16_t> louder = synthesize(rows, 0, twice.data());
    for (size_t i = 0; i < plain.size(); ++i)
        ASSERT_NEAR(louder[i], 2 * plain[i], 2) << i;
}

} // namespace
