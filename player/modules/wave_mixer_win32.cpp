// The mixer of the wave-out device: its speaker volume control carries the
// master level.
#include "wave_output_win32.h"

#include <cstdio>

namespace melvox::wave {
namespace {

HMIXEROBJ object_of(HMIXER mixer)
{
    return reinterpret_cast<HMIXEROBJ>(mixer);
}

MMRESULT describe_mixer(const wave_output* o)
{
    MIXERCAPSA caps{};
    MMRESULT r = o->api->mixer_get_caps(reinterpret_cast<UINT_PTR>(o->mixer), &caps, sizeof caps);
    if (r != MMSYSERR_NOERROR)
        return r;
    char text[256];
    std::snprintf(text, sizeof text, "mixer caps: mid=%d, pid=%d, version=%d.%d, name=%.*s, %d destinations", caps.wMid,
                  caps.wPid, HIBYTE(caps.vDriverVersion), LOBYTE(caps.vDriverVersion),
                  static_cast<int>(sizeof caps.szPname), caps.szPname, static_cast<int>(caps.cDestinations));
    report(o, 0, text);
    return MMSYSERR_NOERROR;
}

MMRESULT find_speaker_volume(wave_output* o)
{
    MIXERLINEA line{};
    line.cbStruct = sizeof line;
    line.dwComponentType = MIXERLINE_COMPONENTTYPE_DST_SPEAKERS;
    MMRESULT r = o->api->mixer_get_line(object_of(o->mixer), &line,
                                        MIXER_GETLINEINFOF_COMPONENTTYPE | MIXER_OBJECTF_HMIXER);
    if (r != MMSYSERR_NOERROR)
        return r;
    MIXERCONTROLA control{};
    control.cbStruct = sizeof control;
    MIXERLINECONTROLSA controls{};
    controls.cbStruct = sizeof controls;
    controls.dwLineID = line.dwLineID;
    controls.dwControlType = MIXERCONTROL_CONTROLTYPE_VOLUME;
    controls.cControls = 1;
    controls.cbmxctrl = sizeof control;
    controls.pamxctrl = &control;
    r = o->api->mixer_get_line_controls(object_of(o->mixer), &controls,
                                        MIXER_GETLINECONTROLSF_ONEBYTYPE | MIXER_OBJECTF_HMIXER);
    if (r != MMSYSERR_NOERROR)
        return r;
    o->volume_control = {control.dwControlID, control.Bounds.dwMinimum, control.Bounds.dwMaximum,
                         control.Metrics.cSteps};
    char text[256];
    std::snprintf(text, sizeof text, "mixer control: name=%.*s, min=%d, max=%d, steps=%d",
                  static_cast<int>(sizeof control.szName), control.szName, static_cast<int>(control.Bounds.lMinimum),
                  static_cast<int>(control.Bounds.lMaximum), static_cast<int>(control.Metrics.cSteps));
    report(o, 0, text);
    return MMSYSERR_NOERROR;
}

// The volume control's details for one channel, pointing at value.
MIXERCONTROLDETAILS details_of(const wave_output* o, MIXERCONTROLDETAILS_UNSIGNED* value)
{
    MIXERCONTROLDETAILS details{};
    details.cbStruct = sizeof details;
    details.dwControlID = o->volume_control.control;
    details.cChannels = 1;
    details.cbDetails = sizeof *value;
    details.paDetails = value;
    return details;
}

} // namespace

MMRESULT open_mixer(wave_output* o)
{
    close_mixer(o);
    HMIXER mixer = nullptr;
    // The mixer that belongs to the open wave-out device.
    MMRESULT r = o->api->mixer_open(&mixer, static_cast<UINT>(reinterpret_cast<UINT_PTR>(o->handle)), 0, 0,
                                    MIXER_OBJECTF_HWAVEOUT);
    if (r != MMSYSERR_NOERROR)
        return r;
    o->mixer = mixer;
    if ((r = describe_mixer(o)) == MMSYSERR_NOERROR)
        r = find_speaker_volume(o);
    if (r != MMSYSERR_NOERROR)
        close_mixer(o);
    return r;
}

void close_mixer(wave_output* o)
{
    if (o->mixer != nullptr)
        o->api->mixer_close(o->mixer);
    o->mixer = nullptr;
    o->volume_control = {};
}

void set_master_level(wave_output* o, uint32_t level)
{
    if (o->mixer == nullptr)
        return;
    const mixer_volume& v = o->volume_control;
    MIXERCONTROLDETAILS_UNSIGNED value{};
    value.dwValue = v.minimum + static_cast<DWORD>((static_cast<double>(v.maximum) - v.minimum) * level * 0.01);
    MIXERCONTROLDETAILS details = details_of(o, &value);
    o->api->mixer_set_details(object_of(o->mixer), &details, MIXER_SETCONTROLDETAILSF_VALUE | MIXER_OBJECTF_HMIXER);
}

bool read_master_level(const wave_output* o, uint32_t* level)
{
    const mixer_volume& v = o->volume_control;
    MIXERCONTROLDETAILS_UNSIGNED value{};
    MIXERCONTROLDETAILS details = details_of(o, &value);
    if (o->api->mixer_get_details(object_of(o->mixer), &details,
                                  MIXER_GETCONTROLDETAILSF_VALUE | MIXER_OBJECTF_HMIXER) != MMSYSERR_NOERROR ||
        v.maximum <= v.minimum)
        return false;
    // Measured from the control's minimum, so that a level set reads back.
    double above = value.dwValue > v.minimum ? static_cast<double>(value.dwValue - v.minimum) : 0.0;
    *level = percent_of(above / (static_cast<double>(v.maximum) - v.minimum));
    return true;
}

} // namespace melvox::wave
