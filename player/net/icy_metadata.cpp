#include "icy_metadata.h"

#include "net_reporter.h"

#include <algorithm>
#include <cstring>

namespace melvox::net {

namespace {

// Moves len bytes from ring offset src down to dst (dst at or behind src).
void ring_move(uint8_t* base, size_t size, size_t dst, size_t src, size_t len)
{
    while (len > 0) {
        size_t n = std::min({len, size - dst, size - src});
        if (dst != src)
            std::memmove(base + dst, base + src, n);
        dst = (dst + n) % size;
        src = (src + n) % size;
        len -= n;
    }
}

} // namespace

void parse_icy_metadata(std::string_view text,
                        const std::function<void(std::string_view key, std::string_view value)>& pair)
{
    size_t pos = 0;
    for (;;) {
        size_t equals = text.find('=', pos);
        if (equals == std::string_view::npos)
            return;
        // A quoted value may hold ';' itself: it ends at the quote before a ';'.
        size_t semicolon = std::string_view::npos;
        if (text.substr(equals + 1).starts_with('\'')) {
            size_t close = text.find("';", equals + 2);
            if (close != std::string_view::npos)
                semicolon = close + 1;
        }
        if (semicolon == std::string_view::npos)
            semicolon = text.find(';', equals + 1);
        if (semicolon == std::string_view::npos)
            return;
        std::string_view key = text.substr(pos, equals - pos);
        if (!key.empty() && key.size() <= icy_key_limit)
            pair(key, text.substr(equals + 1, semicolon - equals - 1));
        pos = semicolon + 1;
    }
}

void icy_cutter::start(uint32_t interval)
{
    interval_ = interval;
    audio_left_ = interval;
    metadata_left_ = 0;
    in_metadata_ = false;
    metadata_.clear();
    audio_total_ = 0;
    delivered_total_ = 0;
    pending_.clear();
}

size_t icy_cutter::cut(uint8_t* base, size_t size, size_t from, size_t count)
{
    if (interval_ == 0)
        return count;
    size_t src = from, dst = from, audio = 0;
    while (count > 0) {
        if (in_metadata_) {
            size_t n = std::min({count, metadata_left_, size - src});
            metadata_.append(reinterpret_cast<const char*>(base + src), n);
            src = (src + n) % size;
            count -= n;
            metadata_left_ -= n;
            if (metadata_left_ == 0) {
                in_metadata_ = false;
                finish_block();
            }
        } else if (audio_left_ == 0) {
            size_t length = base[src] * size_t(16);
            src = (src + 1) % size;
            --count;
            audio_left_ = interval_;
            if (length > 0) {
                in_metadata_ = true;
                metadata_left_ = length;
                metadata_.clear();
            }
        } else {
            size_t n = std::min<size_t>(count, audio_left_);
            ring_move(base, size, dst, src, n);
            dst = (dst + n) % size;
            src = (src + n) % size;
            count -= n;
            audio += n;
            audio_left_ -= uint32_t(n);
            audio_total_ += n;
        }
    }
    return audio;
}

void icy_cutter::finish_block()
{
    // Blocks are padded with NULs to a multiple of 16.
    size_t end = metadata_.find('\0');
    if (end != std::string::npos)
        metadata_.resize(end);
    if (metadata_.empty())
        return;
    if (pending_.size() == pending_limit)
        pending_.pop_front();
    pending_.push_back({audio_total_, std::move(metadata_)});
    metadata_.clear();
}

void icy_cutter::delivered(size_t count, net_reporter& reporter)
{
    delivered_total_ += count;
    while (!pending_.empty() && pending_.front().at <= delivered_total_) {
        parse_icy_metadata(pending_.front().text, [&](std::string_view key, std::string_view value) {
            std::string name = "icy/" + std::string(key);
            reporter.property(name.c_str(), std::string(value).c_str());
        });
        pending_.pop_front();
    }
}

} // namespace melvox::net
