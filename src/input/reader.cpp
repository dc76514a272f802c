#include "input/reader.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "run/state.h"

bool is_header_line(const char* line)
{
    const bool big_e_exempt = std::strstr(line, "E+") || std::strstr(line, "E-");
    const bool small_e_exempt = std::strstr(line, "e+") || std::strstr(line, "e-");
    for (const char* p = line; *p; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (c >= 'A' && c <= 'Z') {
            if (c != 'E' || !big_e_exempt) return true;
        } else if (c >= 'a' && c <= 'z') {
            if (c != 'e' || !small_e_exempt) return true;
        } else if (std::strchr("!@#$%^&*/><?=;", c)) {
            return true;
        }
    }
    return false;
}

bool is_blank_line(const char* line)
{
    // A line that was cut by the 299-byte limit has no line feed of its own yet;
    // it still counts as blank when it holds only blanks and tabs.
    std::size_t k = std::strspn(line, " \t");
    if (line[k] == '\r') ++k;
    if (line[k] == '\n') ++k;
    return line[k] == '\0';
}

void count_header_lines(RunState& s)
{
    char line[line_size];
    long line_number = 1;
    long header_count = 0;
    while (std::fgets(line, line_size, s.in)) {
        if (is_header_line(line)) header_count = line_number;
        ++line_number;
    }
    std::rewind(s.in);
    std::fprintf(s.con, "\n %ld header lines detected \n\n", header_count);
    for (long k = 0; k < header_count; ++k) {
        if (!std::fgets(line, line_size, s.in)) break;
        std::fprintf(s.con, " %s ", line);
    }
}

void read_samples(RunState& s)
{
    char line[line_size];
    long j = 0;
    while (j < max_samples && std::fgets(line, line_size, s.in)) {
        if (is_blank_line(line)) continue;
        if (std::strchr(line, ','))
            std::sscanf(line, "%lf, %lf", &s.xa[j], &s.amp[j]);
        else
            std::sscanf(line, "%lf %lf", &s.xa[j], &s.amp[j]);
        s.amp_base[j] = s.amp[j];
        s.t_last = s.xa[j];
        ++s.n;
        ++j;
    }
    s.dt = (s.t_last - s.xa[0]) / static_cast<double>(j - 1);
    s.xone = s.xa[0];
    std::fprintf(s.con, "\n R2 xone = %8.4g  xa[0]=%8.4g \n", s.xone, s.xa[0]);
    s.sr = 1 / s.dt;
    std::fprintf(s.con, "\n delta t = %lf ", s.dt);
    std::fprintf(s.con, "\n n = %ld \n", s.n);
}

void check_record(const RunState& s)
{
    if (s.n < 7)
        stop_run(s, "the record holds %ld samples; at least 7 are needed. Check the input file.", s.n);
    // A number too large for a double (such as 1e+999) is read as infinite; nothing in
    // the run can use it.
    for (long i = 0; i < s.n; ++i) {
        if (!std::isfinite(s.xa[i]) || !std::isfinite(s.amp[i]))
            stop_run(s, "sample %ld of the record holds a number too large to use (%g, %g). Check the input file.",
                     i + 1, s.xa[i], s.amp[i]);
    }
    if (!(s.dt > 0.0) || !std::isfinite(s.dt))
        stop_run(s, "the sample interval is not a positive number; the last time must be above the first. Check the times in the input file.");
    // The ring-out tail of a spectrum run is counted in 32 bits.
    if ((0.05 / s.dt) * 0.75 > 2147483647.0)
        stop_run(s, "the sample interval %g s is too small to compute a spectrum. Check the times in the input file.", s.dt);
}
