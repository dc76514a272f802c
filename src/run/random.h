// The single pseudo-random stream of a run.
#pragma once

#include <cstdint>

struct RunState;

// Returns the next value in 0..32767 and advances the stream.
int next_random(RunState& s);

// Advances the stream by `count` values at once, as `count` calls of next_random would.
void skip_random(RunState& s, uint64_t count);
