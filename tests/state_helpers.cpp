#include "state_helpers.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <type_traits>

RunState& fresh_state()
{
    static std::unique_ptr<RunState> kept = make_run_state();
    static_assert(std::is_trivially_copyable<RunState>::value, "the reset clears the record bytewise");
    RunState& s = *kept;
    std::memset(static_cast<void*>(&s), 0, sizeof(RunState));
    s.con = stdout;
    s.ask = stdin;
    s.rand_state = 1;
    return s;
}

ConsoleCapture::ConsoleCapture()
{
    stream = open_memstream(&buf, &size);
}

ConsoleCapture::~ConsoleCapture()
{
    std::fclose(stream);
    std::free(buf);
}

std::string ConsoleCapture::text()
{
    std::fflush(stream);
    return std::string(buf, size);
}

// The random stream steps state -> state * mul + add (mod 2^32) and draws bits 16..30.
static constexpr uint32_t rand_mul = 214013u;
static constexpr uint32_t rand_add = 2531011u;

std::vector<int> peek_draws(const RunState& s, int count)
{
    std::vector<int> draws;
    uint32_t state = s.rand_state;
    for (int k = 0; k < count; ++k) {
        state = state * rand_mul + rand_add;
        draws.push_back(static_cast<int>((state >> 16) & 0x7FFFu));
    }
    return draws;
}

uint32_t state_after(const RunState& s, int count)
{
    uint32_t state = s.rand_state;
    for (int k = 0; k < count; ++k) state = state * rand_mul + rand_add;
    return state;
}

static uint32_t inverse_of_mul()
{
    // Newton's iteration for the inverse of an odd number modulo 2^32.
    uint32_t inv = rand_mul;
    for (int k = 0; k < 5; ++k) inv = inv * (2u - rand_mul * inv);
    return inv;
}

void set_draw_after(RunState& s, int before, int value)
{
    const uint32_t inv = inverse_of_mul();
    uint32_t state = static_cast<uint32_t>(value) << 16;  // the state right after that draw
    for (int k = 0; k <= before; ++k) state = (state - rand_add) * inv;
    s.rand_state = state;
}

void set_next_draw(RunState& s, int value)
{
    set_draw_after(s, 0, value);
}

static void fill_record(RunState& s, long n, double (*fn)(double))
{
    s.n = n;
    for (long i = 0; i < n; ++i) {
        s.amp[i] = fn ? fn(s.xa[i]) : 0.0;
        s.amp_base[i] = s.amp[i];
    }
    s.xone = s.xa[0];
    s.t_last = s.xa[n - 1];
    s.dt = (s.t_last - s.xa[0]) / static_cast<double>(n - 1);
    s.sr = 1 / s.dt;
}

void make_record(RunState& s, double xone, double dt, long n, double (*fn)(double))
{
    for (long i = 0; i < n; ++i) s.xa[i] = xone + static_cast<double>(i) * dt;
    fill_record(s, n, fn);
}

void make_record_decimal(RunState& s, long start_units, double scale, long n, double (*fn)(double))
{
    for (long i = 0; i < n; ++i) s.xa[i] = static_cast<double>(start_units + i) / scale;
    fill_record(s, n, fn);
}

std::string literal_regex(const std::string& text)
{
    std::string re;
    for (char c : text) {
        if (std::string("\\^$.|?*+()[]{}").find(c) != std::string::npos) re += '\\';
        re += c;
    }
    return re;
}
