// dunvale-srs: the shock response spectrum of any two-column time-history file,
// computed with the program's own reader and filter bank, written in the format of
// the program's spectrum file.

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "input/reader.h"
#include "results/results.h"
#include "run/state.h"
#include "spectrum/filter_bank.h"
#include "spectrum/spectrum.h"

namespace {

const char* const tool = "dunvale-srs";

const char* const usage_text =
    "Usage: dunvale-srs [-v] [--samples] [-o OUTPUT] INPUT\n"
    "\n"
    "Computes the shock response spectrum (damping 0.05, Q = 10) of the time history\n"
    "in INPUT and writes it in the format of dunvale's SRS file: one line per\n"
    "natural frequency from 10 Hz to 17889 Hz (66 lines), with the frequency, the\n"
    "positive peak and the absolute value of the negative peak.\n"
    "\n"
    "INPUT is a text file of two columns, time (s) and amplitude, read with the same\n"
    "rules as dunvale reads its input (header lines, comma or blank separators).\n"
    "Give - to read standard input.\n"
    "\n"
    "Options:\n"
    "  -o, --output FILE  write the spectrum to FILE instead of standard output\n"
    "  -v, --verbose      echo the header lines and the reader's report to standard error\n"
    "      --samples      write the samples as read (time and amplitude, in the format\n"
    "                     of dunvale's corrected-signal file) instead of the spectrum\n"
    "  -h, --help         show this help and exit\n"
    "      --version      show the version and exit\n"
    "\n"
    "Exit status: 0 on success, 1 when the input cannot be read or used, 2 on bad usage.\n";

[[noreturn]] void usage_error(const char* fmt, const char* arg)
{
    std::fprintf(stderr, "%s: ", tool);
    std::fprintf(stderr, fmt, arg);
    std::fprintf(stderr, "\nTry '%s --help' for more information.\n", tool);
    std::exit(2);
}

[[noreturn]] void fail(const char* what, const char* name)
{
    std::fprintf(stderr, "%s: %s %s: %s\n", tool, what, name, std::strerror(errno));
    std::exit(1);
}

// Copies a stream into an unnamed temporary file and returns it rewound: the reader
// goes over its input twice, which a pipe or a terminal cannot do.
FILE* copy_to_temporary(FILE* from, const char* name)
{
    FILE* to = std::tmpfile();
    if (!to) fail("cannot create a temporary file for", name);
    char buf[65536];
    std::size_t got;
    while ((got = std::fread(buf, 1, sizeof buf, from)) > 0) {
        if (std::fwrite(buf, 1, got, to) != got) fail("cannot copy", name);
    }
    if (std::ferror(from)) fail("cannot read", name);
    if (std::fflush(to) != 0) fail("cannot copy", name);
    std::rewind(to);
    return to;
}

// Opens the input for the reader: a regular file as it is, standard input, a pipe or a
// device through a temporary copy.
FILE* open_input(const char* name, struct stat& st)
{
    if (std::strcmp(name, "-") == 0) {
        FILE* in = copy_to_temporary(stdin, "standard input");
        if (fstat(fileno(in), &st) != 0) fail("cannot read", "standard input");
        return in;
    }
    FILE* in = std::fopen(name, "rb");
    if (!in) fail("cannot open", name);
    if (fstat(fileno(in), &st) != 0) fail("cannot read", name);
    if (S_ISDIR(st.st_mode)) {
        errno = EISDIR;
        fail("cannot read", name);
    }
    if (!S_ISREG(st.st_mode)) {
        FILE* copy = copy_to_temporary(in, name);
        std::fclose(in);
        return copy;
    }
    // An unreadable regular file opens but fails at the first read.
    if (std::fgetc(in) == EOF && std::ferror(in)) fail("cannot read", name);
    std::rewind(in);
    return in;
}

}  // namespace

int main(int argc, char** argv)
{
    const char* in_name = nullptr;
    const char* out_name = nullptr;
    bool verbose = false;
    bool samples = false;
    bool options_done = false;

    for (int k = 1; k < argc; ++k) {
        const char* a = argv[k];
        if (!options_done && a[0] == '-' && a[1] != '\0') {
            if (std::strcmp(a, "--") == 0) {
                options_done = true;
            } else if (std::strcmp(a, "-h") == 0 || std::strcmp(a, "--help") == 0) {
                std::fputs(usage_text, stdout);
                return 0;
            } else if (std::strcmp(a, "--version") == 0) {
                std::printf("dunvale-srs (dunvale 1.3)\n");
                return 0;
            } else if (std::strcmp(a, "-v") == 0 || std::strcmp(a, "--verbose") == 0) {
                verbose = true;
            } else if (std::strcmp(a, "--samples") == 0) {
                samples = true;
            } else if (std::strcmp(a, "-o") == 0 || std::strcmp(a, "--output") == 0) {
                if (k + 1 >= argc) usage_error("option '%s' needs a file name", a);
                out_name = argv[++k];
            } else if (std::strncmp(a, "--output=", 9) == 0) {
                out_name = a + 9;
            } else if (std::strncmp(a, "-o", 2) == 0) {
                out_name = a + 2;
            } else {
                usage_error("unknown option '%s'", a);
            }
            continue;
        }
        if (in_name) usage_error("more than one input file given ('%s')", a);
        in_name = a;
    }
    if (!in_name) usage_error("%s", "no input file given (use - for standard input)");
    if (out_name && out_name[0] == '\0') usage_error("%s", "the output file name is empty");
    const bool to_stdout = !out_name || std::strcmp(out_name, "-") == 0;

    auto state = make_run_state();
    RunState& s = *state;
    struct stat in_st;
    s.in = open_input(in_name, in_st);

    // The header echo and the reader's report are not wanted on standard output;
    // errors from the record check and the spectrum run go to standard error.
    FILE* quiet = verbose ? stderr : std::fopen("/dev/null", "w");
    if (!quiet) quiet = stderr;
    s.con = quiet;
    count_header_lines(s);
    read_samples(s);
    if (std::ferror(s.in)) fail("cannot read", in_name);
    s.con = stderr;
    check_record(s);
    std::fclose(s.in);
    s.in = nullptr;

    if (!samples) {
        fill_filter_bank(s);
        run_spectrum(s, s.srs_pos, s.srs_neg);
    }

    FILE* out = stdout;
    if (!to_stdout) {
        struct stat out_st;
        if (std::strcmp(in_name, "-") != 0 && stat(out_name, &out_st) == 0 && out_st.st_dev == in_st.st_dev &&
            out_st.st_ino == in_st.st_ino) {
            std::fprintf(stderr, "%s: the output file %s is the input file; nothing was written\n", tool, out_name);
            return 1;
        }
        out = std::fopen(out_name, "w");
        if (!out) fail("cannot create", out_name);
    }
    if (samples) {
        for (long i = 0; i < s.n; ++i) write_time_value(out, s.xa[i], s.amp[i]);
    } else {
        write_spectrum_lines(out, s);
    }
    if (std::fflush(out) != 0 || std::ferror(out)) fail("cannot write", to_stdout ? "standard output" : out_name);
    if (!to_stdout && std::fclose(out) != 0) fail("cannot write", out_name);
    return 0;
}
