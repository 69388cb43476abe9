// Joint stereo of Layer III: M/S stereo, and intensity stereo as the MPEG-1
// and MPEG-2 standards define it (the right channel's scalefactors above its
// last nonzero band are intensity positions that split the left channel).
#include "layer3.h"
#include "layer3_tables.h"
#include "mpeg_tables.h"

#include <algorithm>
#include <numbers>

namespace melvox::mpeg::layer3 {

namespace {

constexpr float inv_sqrt2 = static_cast<float>(1.0 / std::numbers::sqrt2);

struct stereo_lines {
    float* left;
    float* right;
    const layer3_frame& frame;
    const scalefactors& sf;

    // Lines begin, begin + step, ... before end that are not intensity coded.
    void plain(int begin, int end, int step) const
    {
        if (!frame.ms_stereo)
            return;
        for (int i = begin; i < end; i += step) {
            float m = left[i], s = right[i];
            left[i] = (m + s) * inv_sqrt2;
            right[i] = (m - s) * inv_sqrt2;
        }
    }

    void intensity(int begin, int end, int step, int is_pos, int illegal) const
    {
        if (is_pos >= illegal) {
            plain(begin, end, step);
            return;
        }
        const intensity_factors& k = frame.lsf ? lsf_intensity(sf.intensity_scale, is_pos) : mpeg1_intensity(is_pos);
        for (int i = begin; i < end; i += step) {
            float v = left[i];
            left[i] = v * k.left;
            right[i] = v * k.right;
        }
    }

    // The top band (long 21, short 12) has no position of its own and takes
    // that of the band below. When the bound lies at the top band itself, the
    // band below holds no position; MPEG-2 then takes position 0, both
    // channels at full level.
    void top_band(int begin, int end, int step, bool bound_here, int below_pos, int below_illegal) const
    {
        if (bound_here && frame.lsf)
            intensity(begin, end, step, 0, 1);
        else
            intensity(begin, end, step, below_pos, below_illegal);
    }

    bool any_nonzero(int begin, int end, int step) const
    {
        for (int i = begin; i < end; i += step)
            if (right[i] != 0.0f)
                return true;
        return false;
    }
};

void intensity_long(const stereo_lines& lines, const uint16_t* bounds, int first_band, int end_band)
{
    // Intensity starts above the highest band of the right channel that holds data.
    int start = first_band;
    for (int band = end_band - 1; band >= first_band; --band)
        if (lines.any_nonzero(bounds[band], bounds[band + 1], 1)) {
            start = band + 1;
            break;
        }
    for (int band = first_band; band < end_band; ++band) {
        if (band < start) {
            lines.plain(bounds[band], bounds[band + 1], 1);
            continue;
        }
        if (band == 21)
            lines.top_band(bounds[21], bounds[22], 1, start == 21, lines.sf.long_bands[20], lines.sf.long_illegal[20]);
        else
            lines.intensity(bounds[band], bounds[band + 1], 1, lines.sf.long_bands[band], lines.sf.long_illegal[band]);
    }
}

} // namespace

void process_stereo(const layer3_frame& f, const granule_channel& right, const scalefactors& right_sf,
                    hybrid_channel& left_channel, hybrid_channel& right_channel)
{
    int zero = std::min(left_channel.zero_subbands, right_channel.zero_subbands);
    float* l = left_channel.spectrum;
    float* r = right_channel.spectrum;

    if (!f.intensity_stereo) {
        // The 1/sqrt(2) is already in the gains.
        for (int i = 0; i < 576 - 18 * zero; ++i) {
            float m = l[i], s = r[i];
            l[i] = m + s;
            r[i] = m - s;
        }
    } else {
        stereo_lines lines{l, r, f, right_sf};
        const uint16_t* long_bounds = tables::sfb_long_bounds[f.rate_index];
        const uint16_t* short_bounds = tables::sfb_short_bounds[f.rate_index];
        if (!right.short_blocks()) {
            intensity_long(lines, long_bounds, 0, 22);
        } else {
            int long_bands = right.mixed() ? (f.lsf ? 6 : 8) : 0;
            int first_short = right.mixed() ? 3 : 0;
            bool short_data = false;
            for (int w = 0; w < 3; ++w) {
                // Each window has its own bound.
                int start = first_short;
                for (int band = 12; band >= first_short; --band)
                    if (lines.any_nonzero(3 * short_bounds[band] + w, 3 * short_bounds[band + 1], 3)) {
                        start = band + 1;
                        short_data = true;
                        break;
                    }
                for (int band = first_short; band < 13; ++band) {
                    int begin = 3 * short_bounds[band] + w, end = 3 * short_bounds[band + 1];
                    if (band < start) {
                        lines.plain(begin, end, 3);
                        continue;
                    }
                    if (band == 12)
                        lines.top_band(begin, end, 3, start == 12, right_sf.short_bands[11][w],
                                       right_sf.short_illegal[11]);
                    else
                        lines.intensity(begin, end, 3, right_sf.short_bands[band][w], right_sf.short_illegal[band]);
                }
            }
            // The long part of a mixed block is intensity coded only when the
            // right channel has no data in the short part.
            if (long_bands) {
                if (short_data)
                    lines.plain(0, long_bounds[long_bands], 1);
                else
                    intensity_long(lines, long_bounds, 0, long_bands);
            }
        }
        zero = std::min(zero_subbands(l), zero_subbands(r));
    }
    left_channel.zero_subbands = right_channel.zero_subbands = zero;
}

} // namespace melvox::mpeg::layer3
