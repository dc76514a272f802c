// What the two fuzz harnesses share: one run state, the console on /dev/null, a private
// working folder, and the jump back from an error stop.
#pragma once

#include <csetjmp>
#include <cstddef>
#include <cstdint>

#include "run/state.h"

// Set by the harness before it calls into the program; fuzz_stop_hook jumps here.
extern std::jmp_buf fuzz_stop_point;

// The one run state of the fuzzing process, allocated on first use, its console on
// /dev/null.
RunState& fuzz_state();

// Makes a fresh temporary folder and makes it the working folder. Paths given to
// libFuzzer must then be absolute.
void fuzz_enter_temp_dir();

// Puts the run state back to its start: every field the reader and the dialogue set,
// and the sample entries an earlier input filled, back to zero; streams closed.
void fuzz_reset(RunState& s);

// Ends the process with a message when a property of the program fails.
[[noreturn]] void fuzz_fail(const char* what);
