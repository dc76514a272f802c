#include "run/random.h"

#include "run/state.h"

constexpr uint32_t rand_mul = 214013u;
constexpr uint32_t rand_add = 2531011u;

int next_random(RunState& s)
{
    s.rand_state = s.rand_state * rand_mul + rand_add;
    return static_cast<int>((s.rand_state >> 16) & 0x7FFFu);
}

void skip_random(RunState& s, uint64_t count)
{
    // Compose the step state -> mul * state + add with itself by repeated squaring;
    // all arithmetic is modulo 2^32, as in next_random.
    uint32_t mul = 1, add = 0;            // accumulated map: identity
    uint32_t step_mul = rand_mul, step_add = rand_add;  // map for 2^k steps
    while (count > 0) {
        if (count & 1u) {
            mul = step_mul * mul;
            add = step_mul * add + step_add;
        }
        step_add = step_mul * step_add + step_add;
        step_mul = step_mul * step_mul;
        count >>= 1;
    }
    s.rand_state = mul * s.rand_state + add;
}
