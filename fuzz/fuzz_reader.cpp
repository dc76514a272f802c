// Fuzzes the time-history reader with the bytes of an input file: header detection and
// echo, sample reading and the record check, then, for a record the run would go on
// with, one trial's breakpoints, levels and curve.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "fuzz_common.h"
#include "input/reader.h"
#include "search/breakpoints.h"
#include "search/curve.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    RunState& s = fuzz_state();
    fuzz_reset(s);
    std::vector<char> bytes(data, data + size);
    bytes.push_back('\0');  // fmemopen does not take an empty buffer; the terminator is not read
    s.in = fmemopen(bytes.data(), size == 0 ? 1 : size, "rb");
    if (!s.in) fuzz_fail("fmemopen");
    if (size == 0) std::fgetc(s.in);  // an empty file: nothing to read

    if (setjmp(fuzz_stop_point) != 0) {
        fuzz_reset(s);
        return 0;  // refused with an error line: the input was handled
    }
    count_header_lines(s);
    read_samples(s);
    check_record(s);

    // What the rest of the run may take for granted once the record is accepted.
    if (s.n < 7 || s.n > max_samples) fuzz_fail("accepted a record of a bad length");
    if (!(s.dt > 0) || !std::isfinite(s.dt) || !std::isfinite(s.sr)) fuzz_fail("accepted a bad sample interval");
    for (long i = 0; i < s.n; ++i)
        if (!std::isfinite(s.xa[i]) || !std::isfinite(s.amp[i])) fuzz_fail("accepted a value that is not finite");

    // One trial's curve, as the search would draw it (the search refuses t_last < 0 first).
    if (s.t_last >= 0) {
        s.max_pts = 22;
        draw_breakpoints(s);
        compute_levels(s);
        evaluate_curve(s);
        if (s.nn < 20 || s.nn > s.max_pts) fuzz_fail("breakpoint count out of range");
    }
    fuzz_reset(s);
    return 0;
}
