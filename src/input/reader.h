// Reads the time history: header detection and echo, then the samples.
#pragma once

struct RunState;

constexpr int line_size = 300;  // a read takes at most 299 bytes

// True when the line holds a character that marks a header line.
bool is_header_line(const char* line);

// True when the line holds nothing but blanks, tabs and its line ending.
bool is_blank_line(const char* line);

// Counts the header lines of the whole input stream, rewinds it, prints the count
// and echoes the header lines, leaving the stream at the first sample line.
void count_header_lines(RunState& s);

// Reads the sample lines and sets xa, amp, amp_base, n, dt, sr, xone and t_last.
void read_samples(RunState& s);

// Refuses, with an error and exit status 1, a record that the later stages cannot use:
// fewer than seven samples, a time or amplitude that is not finite, or a sample
// interval that is not a usable positive number.
void check_record(const RunState& s);
