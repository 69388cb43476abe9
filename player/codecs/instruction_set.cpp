#include "instruction_set.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace melvox::mpeg {

namespace {

instruction_set detect()
{
#if defined(MELVOX_MPEG_X86)
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2"))
        return instruction_set::avx2;
    return instruction_set::sse2;
#else
    return instruction_set::plain;
#endif
}

instruction_set from_environment(instruction_set best)
{
    const char* name = std::getenv("MELVOX_MPEG_SIMD");
    if (!name)
        return best;
    for (instruction_set set : {instruction_set::plain, instruction_set::sse2, instruction_set::avx2})
        if (std::strcmp(name, instruction_set_name(set)) == 0)
            return set < best ? set : best;
    return best;
}

std::atomic<instruction_set>& active()
{
    static std::atomic<instruction_set> set{from_environment(best_instruction_set())};
    return set;
}

} // namespace

instruction_set best_instruction_set()
{
    static const instruction_set best = detect();
    return best;
}

instruction_set active_instruction_set()
{
    return active().load(std::memory_order_relaxed);
}

instruction_set use_instruction_set(instruction_set set)
{
    instruction_set best = best_instruction_set();
    instruction_set chosen = set < best ? set : best;
    active().store(chosen, std::memory_order_relaxed);
    return chosen;
}

const char* instruction_set_name(instruction_set set)
{
    switch (set) {
    case instruction_set::sse2: return "sse2";
    case instruction_set::avx2: return "avx2";
    default: return "plain";
    }
}

} // namespace melvox::mpeg
