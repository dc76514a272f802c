#include "run/run.h"

#include <cstdio>

#include "input/reader.h"
#include "results/results.h"
#include "run/dialogue.h"
#include "run/state.h"
#include "search/passes.h"
#include "spectrum/filter_bank.h"
#include "spectrum/spectrum.h"

int run_program(RunState& s)
{
    print_banner(s);
    open_files(s);
    std::fprintf(s.con, "\n");
    count_header_lines(s);
    read_samples(s);
    check_record(s);
    ask_parameters(s);
    build_filter_bank(s);
    check_search_span(s);
    open_results(s);
    run_reference_spectrum(s);
    run_passes(s);
    write_results(s);
    close_results(s);
    wait_for_key(s);
    return 0;
}
