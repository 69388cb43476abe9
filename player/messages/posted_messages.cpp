#include "messages/posted_messages.h"

#include "messages/field_walker.h"

#include <cstring>
#include <new>

namespace melvox {
namespace {

// The heap copy: a 4-byte length in host order, then the packed fields.
constexpr size_t copy_header = 4;

// Fields without tags, strings ending at their NUL, a PCM block without the
// length that its counts give.
constexpr field_form copy_form{false, false, true, UINT32_MAX, error_invalid_message};

bool words_in_params(unsigned id)
{
    const message_layout* layout = find_message_layout(static_cast<int>(id - posted_message_base));
    return layout != nullptr && layout->words_in_params;
}

// Whether the message's small fields fit into a 32-bit wParam; otherwise
// every field goes into the heap copy.
bool small_fields_fit(const message_layout& layout)
{
    size_t total = 0;
    for (size_t i = 0; i < layout.field_count; ++i) {
        char tag = layout.fields[i].tag;
        total += tag == 'b' ? 1 : tag == 's' ? 2 : tag == 'l' ? 4 : 0;
    }
    return total <= 4;
}

} // namespace

int pack_posted(const player_message& m, posted_message& out)
{
    const message_layout* layout = find_message_layout(static_cast<int>(m.code));
    if (layout == nullptr)
        return error_invalid_message;
    out = {};
    out.id = posted_message_base + m.code;
    if (layout->words_in_params) {
        out.wparam = player_message_word(&m, layout->fields[0].offset);
        out.lparam = static_cast<intptr_t>(player_message_word(&m, layout->fields[1].offset));
        return 0;
    }
    uint32_t small = 0;
    std::vector<uint8_t> copy;
    try {
        copy.resize(copy_header);
        if (int r = put_fields(m, *layout, copy_form, copy, small_fields_fit(*layout) ? &small : nullptr); r < 0)
            return r;
        out.wparam = small;
        if (copy.size() == copy_header)
            return 0;
        uint32_t length = static_cast<uint32_t>(copy.size() - copy_header);
        std::memcpy(copy.data(), &length, sizeof length);
        auto heap = new uint8_t[copy.size()];
        std::memcpy(heap, copy.data(), copy.size());
        out.lparam = reinterpret_cast<intptr_t>(heap);
    } catch (const std::bad_alloc&) {
        return error_out_of_memory;
    }
    return 0;
}

void release_posted(const posted_message& p)
{
    if (p.lparam == 0 || !is_posted_player_message(p.id) || words_in_params(p.id))
        return;
    delete[] reinterpret_cast<uint8_t*>(p.lparam);
}

int unpack_posted(const posted_message& p, posted_text_buffer& buffer, player_message& out)
{
    if (!is_posted_player_message(p.id))
        return error_invalid_message;
    int code = static_cast<int>(p.id - posted_message_base);
    const message_layout* layout = find_message_layout(code);
    if (layout == nullptr) {
        release_posted(p);
        return error_invalid_message;
    }
    player_message m = make_player_message(static_cast<uint32_t>(code));
    if (layout->words_in_params) {
        player_message_set_word(&m, layout->fields[0].offset, static_cast<uint32_t>(p.wparam));
        player_message_set_word(&m, layout->fields[1].offset, static_cast<uint32_t>(p.lparam));
        out = m;
        return 0;
    }
    // Copy the heap block into the text buffer and free it at once, so that
    // every path below owns nothing.
    buffer.bytes.clear();
    if (p.lparam != 0) {
        auto heap = reinterpret_cast<const uint8_t*>(p.lparam);
        uint32_t length;
        std::memcpy(&length, heap, sizeof length);
        try {
            buffer.bytes.assign(heap + copy_header, heap + copy_header + length);
        } catch (const std::bad_alloc&) {
            delete[] heap;
            return error_out_of_memory;
        }
        delete[] heap;
    }
    auto small = static_cast<uint32_t>(p.wparam);
    if (int r = get_fields(buffer.bytes, 0, *layout, copy_form, buffer.properties, m,
                           small_fields_fit(*layout) ? &small : nullptr);
        r < 0)
        return r;
    out = m;
    return 0;
}

} // namespace melvox
