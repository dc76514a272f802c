// Small helpers for tests that drive the stages on a run state directly.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "run/state.h"

// A run state as make_run_state gives it (all zero, console on standard output, answers
// on standard input, random stream at its start), shared by the tests of one process and
// reset on every call: clearing tables already in memory is much cheaper than the page
// faults of a new allocation.
RunState& fresh_state();

// Console text written to a memory stream, for tests that check printed lines.
struct ConsoleCapture {
    char* buf = nullptr;
    size_t size = 0;
    FILE* stream = nullptr;

    ConsoleCapture();
    ~ConsoleCapture();
    ConsoleCapture(const ConsoleCapture&) = delete;
    ConsoleCapture& operator=(const ConsoleCapture&) = delete;

    std::string text();  // everything written so far
};

// Positions the random stream so that the next draw is `value` (0..32767).
void set_next_draw(RunState& s, int value);

// Positions the random stream so that the draw after `before` others is `value`.
void set_draw_after(RunState& s, int before, int value);

// The next `count` draws of the stream, without advancing it.
std::vector<int> peek_draws(const RunState& s, int count);

// The stream's state after `count` more draws.
uint32_t state_after(const RunState& s, int count);

// A record of n samples, xa[i] = xone + i * dt, with amp and amp_base holding fn(xa[i])
// (0 when fn is null). Sets n, dt, sr, xone and t_last as the reader does.
void make_record(RunState& s, double xone, double dt, long n, double (*fn)(double));

// The same with xa[i] = (start_units + i) / scale, the double nearest to the decimal time
// that a reader would parse from the file.
void make_record_decimal(RunState& s, long start_units, double scale, long n, double (*fn)(double));

// A POSIX extended regular expression that matches `text` literally.
std::string literal_regex(const std::string& text);
