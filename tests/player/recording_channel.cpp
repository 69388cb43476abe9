#include "recording_channel.h"

int RecordingChannel::keep(Queue& queue, const player_message& m)
{
    auto kept = std::make_unique<Kept>();
    if (int r = melvox::encode_frame(m, kept->frame.bytes); r < 0)
        return r;
    if (int r = melvox::decode_frame(kept->frame, kept->message); r < 0)
        return r;
    queue.push_back(std::move(kept));
    return 0;
}

std::vector<uint32_t> RecordingChannel::takeCodes()
{
    std::vector<uint32_t> codes;
    for (const auto& k : toCaller)
        codes.push_back(k->message.code);
    toCaller.clear();
    return codes;
}

const player_message* RecordingChannel::find(uint32_t code) const
{
    for (const auto& k : toCaller)
        if (k->message.code == code)
            return &k->message;
    return nullptr;
}

std::vector<const player_message*> RecordingChannel::all(uint32_t code) const
{
    std::vector<const player_message*> found;
    for (const auto& k : toCaller)
        if (k->message.code == code)
            found.push_back(&k->message);
    return found;
}

std::vector<const player_message*> RecordingChannel::allToFeedback(uint32_t code) const
{
    std::vector<const player_message*> found;
    for (const auto& k : toFeedback)
        if (k->message.code == code)
            found.push_back(&k->message);
    return found;
}
