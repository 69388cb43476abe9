#include "layer12.h"

#include "mpeg_errors.h"

#include <cmath>
#include <cstring>
#include <vector>

namespace melvox::mpeg::layer12 {

namespace {

// Requantisation of one quantisation class with L levels: a code v stands
// for (2v - (L - 1)) / L, which is the standard's C * (s + D).
struct quantization {
    int bits = 0;
    bool grouped = false;
    float factor = 0.0f; // ungrouped: sample = (code - offset) * factor
    float offset = 0.0f;
    std::vector<float> degrouped; // grouped: three samples per codeword
};

struct class_tables {
    float scalefactors[64];
    quantization ungrouped_by_bits[17]; // 2^bits - 1 levels, bits 2 to 16
    quantization by_levels[3];          // grouped classes: 3, 5 and 9 levels

    class_tables()
    {
        for (int i = 0; i < 63; ++i)
            scalefactors[i] = static_cast<float>(2.0 * std::exp2(-i / 3.0));
        scalefactors[63] = 0.0f;
        for (int bits = 2; bits <= 16; ++bits)
            ungrouped_by_bits[bits] = ungrouped((1 << bits) - 1, bits);
        by_levels[0] = grouped(3, 5);
        by_levels[1] = grouped(5, 7);
        by_levels[2] = grouped(9, 10);
    }

    static quantization ungrouped(int levels, int bits)
    {
        quantization q;
        q.bits = bits;
        q.factor = static_cast<float>(2.0 / levels);
        q.offset = static_cast<float>((levels - 1) / 2);
        return q;
    }

    static quantization grouped(int levels, int bits)
    {
        quantization q;
        q.bits = bits;
        q.grouped = true;
        q.degrouped.resize(3u << bits);
        for (int code = 0; code < 1 << bits; ++code) {
            int rest = code;
            for (int k = 0; k < 3; ++k) {
                int v = rest % levels;
                rest /= levels;
                q.degrouped[3 * code + k] = static_cast<float>(2 * v - (levels - 1)) / static_cast<float>(levels);
            }
        }
        return q;
    }

    // Requantisation of a Layer II class named by the allocation tables.
    const quantization& layer2(const tables::layer2_quantization& c) const
    {
        if (c.grouped)
            return by_levels[c.levels == 3 ? 0 : c.levels == 5 ? 1 : 2];
        // Ungrouped classes have 2^bits - 1 levels, as in Layer I.
        return ungrouped_by_bits[c.bits];
    }
};

const class_tables& classes()
{
    static const class_tables tables;
    return tables;
}

} // namespace

float scalefactor_value(int index)
{
    return classes().scalefactors[index & 63];
}

const tables::layer2_allocation& layer2_table(const frame_header& header)
{
    if (is_lower_sampling_frequency(header))
        return tables::layer2_lsf;
    int per_channel = bitrate_kbps(header) / channel_count(header);
    int rate = sampling_rate(header);
    if ((rate == 48000 && per_channel >= 56) || (per_channel >= 56 && per_channel <= 80))
        return tables::layer2_b2a;
    if (rate != 48000 && per_channel >= 96)
        return tables::layer2_b2b;
    if (rate != 32000 && per_channel <= 48)
        return tables::layer2_b2c;
    return tables::layer2_b2d;
}

void decoder::output_rows(int rows, int channels, const channel_routing& routing)
{
    int limit = 32 >> routing.shift;
    for (int ch = 0; ch < channels; ++ch)
        for (int r = 0; r < rows; ++r)
            std::fill(samples_[ch][r] + limit, samples_[ch][r] + 32, 0.0f);
    if (channels == 1) {
        routing.left->synthesize_rows(samples_[0], rows);
    } else if (routing.mix) {
        for (int r = 0; r < rows; ++r)
            for (int sb = 0; sb < 32; ++sb)
                samples_[0][r][sb] = (samples_[0][r][sb] + samples_[1][r][sb]) * 0.5f;
        routing.left->synthesize_rows(samples_[0], rows);
    } else {
        for (int ch = 0; ch < 2; ++ch)
            if (synthesis_channel* out = routing.output(ch))
                out->synthesize_rows(samples_[ch], rows);
    }
}

int decoder::decode_layer1(frame_reader& reader, const channel_routing& routing)
{
    const frame_header& header = reader.header();
    bit_reader& bits = reader.bits();
    int channels = channel_count(header);
    int bound = header.mode == mode_joint_stereo ? 4 * (header.mode_extension + 1) : 32;
    const class_tables& q = classes();

    for (int sb = 0; sb < 32; ++sb)
        for (int ch = 0; ch < channels; ++ch) {
            // Above the bound both channels share one allocation.
            int a = (sb < bound || ch == 0) ? static_cast<int>(bits.get_bits(4)) : allocation_[0][sb];
            if (a == 15)
                return error_invalid_frame;
            allocation_[ch][sb] = a;
        }
    for (int sb = 0; sb < 32; ++sb)
        for (int ch = 0; ch < channels; ++ch)
            if (allocation_[ch][sb]) {
                int index = static_cast<int>(bits.get_bits(6));
                if (index == 63)
                    return error_invalid_frame;
                scalefactor_[ch][0][sb] = q.scalefactors[index];
            }

    for (int round = 0; round < 12; ++round) {
        for (int sb = 0; sb < 32; ++sb) {
            float shared = 0.0f;
            for (int ch = 0; ch < channels; ++ch) {
                int a = allocation_[ch][sb];
                if (!a) {
                    samples_[ch][round][sb] = 0.0f;
                    continue;
                }
                const quantization& c = q.ungrouped_by_bits[a + 1];
                if (sb < bound || ch == 0)
                    shared = (static_cast<float>(bits.get_bits(c.bits)) - c.offset) * c.factor;
                samples_[ch][round][sb] = shared * scalefactor_[ch][0][sb];
            }
        }
    }
    output_rows(12, channels, routing);
    return 0;
}

int decoder::decode_layer2(frame_reader& reader, const channel_routing& routing)
{
    const frame_header& header = reader.header();
    bit_reader& bits = reader.bits();
    int channels = channel_count(header);
    const tables::layer2_allocation& table = layer2_table(header);
    int sblimit = table.sblimit;
    int bound = sblimit;
    if (channels == 2 && header.mode == mode_joint_stereo) {
        bound = 4 * (header.mode_extension + 1);
        if (bound > sblimit)
            return error_invalid_frame;
    }
    const class_tables& q = classes();

    for (int sb = 0; sb < sblimit; ++sb)
        for (int ch = 0; ch < channels; ++ch)
            allocation_[ch][sb] = (sb < bound || ch == 0) ? static_cast<int>(bits.get_bits(table.subbands[sb].nbal))
                                                          : allocation_[0][sb];
    for (int sb = 0; sb < sblimit; ++sb)
        for (int ch = 0; ch < channels; ++ch)
            if (allocation_[ch][sb])
                scfsi_[ch][sb] = static_cast<int>(bits.get_bits(2));
    for (int sb = 0; sb < sblimit; ++sb)
        for (int ch = 0; ch < channels; ++ch) {
            if (!allocation_[ch][sb])
                continue;
            float* part = nullptr;
            float values[3];
            int read = scfsi_[ch][sb] == 0 ? 3 : scfsi_[ch][sb] == 2 ? 1 : 2;
            for (int i = 0; i < read; ++i)
                values[i] = q.scalefactors[bits.get_bits(6)];
            float parts[4][3] = {{values[0], values[1], values[2]},
                                 {values[0], values[0], values[1]},
                                 {values[0], values[0], values[0]},
                                 {values[0], values[1], values[1]}};
            part = parts[scfsi_[ch][sb]];
            for (int p = 0; p < 3; ++p)
                scalefactor_[ch][p][sb] = part[p];
        }

    // Each subband's quantisation class, looked up once for the 12 granules.
    const quantization* class_of[2][32];
    for (int sb = 0; sb < sblimit; ++sb)
        for (int ch = 0; ch < channels; ++ch)
            class_of[ch][sb] = allocation_[ch][sb] ? &q.layer2(table.subbands[sb].classes[allocation_[ch][sb]])
                                                   : nullptr;

    for (int granule = 0; granule < 12; ++granule) {
        int part = granule / 4;
        for (int sb = 0; sb < sblimit; ++sb) {
            float shared[3] = {};
            for (int ch = 0; ch < channels; ++ch) {
                int a = allocation_[ch][sb];
                if (!a) {
                    for (int r = 0; r < 3; ++r)
                        samples_[ch][3 * granule + r][sb] = 0.0f;
                    continue;
                }
                if (sb < bound || ch == 0) {
                    const quantization& c = *class_of[ch][sb];
                    if (c.grouped) {
                        const float* three = &c.degrouped[3 * bits.get_bits(c.bits)];
                        shared[0] = three[0], shared[1] = three[1], shared[2] = three[2];
                    } else {
                        // Three codes of at most 16 bits, from one look at the stream.
                        uint64_t word = bits.peek64();
                        for (float& value : shared) {
                            value = (static_cast<float>(word >> (64 - c.bits)) - c.offset) * c.factor;
                            word <<= c.bits;
                        }
                        bits.skip(static_cast<size_t>(3 * c.bits));
                    }
                }
                float scale = scalefactor_[ch][part][sb];
                for (int r = 0; r < 3; ++r)
                    samples_[ch][3 * granule + r][sb] = shared[r] * scale;
            }
        }
        for (int ch = 0; ch < channels; ++ch)
            for (int r = 0; r < 3; ++r)
                std::fill(samples_[ch][3 * granule + r] + sblimit, samples_[ch][3 * granule + r] + 32, 0.0f);
    }
    output_rows(36, channels, routing);
    return 0;
}

} // namespace melvox::mpeg::layer12
