#include "run/dialogue.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "run/random.h"
#include "run/state.h"

void print_banner(RunState& s)
{
    std::fprintf(s.con, "\n dunvale, ver 1.3, September 30, 2008");
    std::fprintf(s.con, "\n by the dunvale developers");
    std::fprintf(s.con, "\n help and contact: README.md");
    std::fprintf(s.con, "\n This program uses piecewise linear curve-fitting to ");
    std::fprintf(s.con, "\n remove saturation effects from shock data.  The goal ");
    std::fprintf(s.con, "\n is to obtain a desired initial slope. \n");
    std::fprintf(s.con, "\n The signal should be adjusted so that the initial shock occurs ");
    std::fprintf(s.con, "\n at time zero. \n\n");
}

// Reads one whitespace-delimited name into a 260-byte field. A longer name is
// refused, never cut: a cut name could be the name of another file.
static void read_name(RunState& s, char* name)
{
    if (std::fscanf(s.ask, "%259s", name) != 1) return;  // end of input: the name stays empty
    const int next = std::fgetc(s.ask);
    if (next != EOF && !std::isspace(next))
        stop_run(s, "a file name is longer than %d characters; nothing was written. Use a shorter name.",
                 name_size - 1);
    if (next != EOF) std::ungetc(next, s.ask);
}

struct file_id {
    bool known;
    dev_t dev;
    ino_t ino;
};

static file_id id_of_stream(FILE* stream)
{
    struct stat st;
    if (fstat(fileno(stream), &st) != 0) return {false, 0, 0};
    return {true, st.st_dev, st.st_ino};
}

// Opens a result or scratch file for writing, after making sure that the name is not
// an existing file that the run reads or has already opened.
static FILE* open_for_writing(const RunState& s, const char* name, const file_id* taken, int ntaken, const char* what)
{
    struct stat st;
    if (stat(name, &st) == 0) {
        for (int k = 0; k < ntaken; ++k) {
            if (taken[k].known && taken[k].dev == st.st_dev && taken[k].ino == st.st_ino)
                stop_run(s, "the %s name %s is the input file or another result file; nothing was overwritten. Use another name.",
                         what, name);
        }
    }
    FILE* stream = std::fopen(name, "w");
    if (!stream)
        stop_run(s, "cannot create the %s file %s: %s. Check the name and the folder's permissions.",
                 what, name, std::strerror(errno));
    return stream;
}

void open_files(RunState& s)
{
    std::fprintf(s.con, "\n\n The input file must have two columns:  time(sec) & amplitude(units) ");
    std::fprintf(s.con, "\n\n Enter input filename\n");
    read_name(s, s.in_name);
    s.in = std::fopen(s.in_name, "rb");
    struct stat in_st;
    if (s.in && fstat(fileno(s.in), &in_st) == 0 && S_ISDIR(in_st.st_mode)) {
        // A folder opens for reading here but holds no lines: it is no input file.
        std::fclose(s.in);
        s.in = nullptr;
    }
    if (s.in) {
        std::fprintf(s.con, " File: %s opened. \n", s.in_name);
    } else {
        std::fprintf(s.con, " Failed to open file: %s \n", s.in_name);
        stop_run(s, "the input file cannot be read, so nothing was written. Check its name and run again.");
    }

    file_id taken[4];
    int ntaken = 0;
    taken[ntaken++] = id_of_stream(s.in);

    std::fprintf(s.con, "\n Enter output filename for the saturation.\n");
    read_name(s, s.sat_name);
    s.sat_out = open_for_writing(s, s.sat_name, taken, ntaken, "saturation");
    taken[ntaken++] = id_of_stream(s.sat_out);

    std::fprintf(s.con, "\n Enter output filename for the signal with the saturation removed.\n");
    read_name(s, s.sig_name);
    s.sig_out = open_for_writing(s, s.sig_name, taken, ntaken, "corrected-signal");
    taken[ntaken++] = id_of_stream(s.sig_out);

    std::fprintf(s.con, "\n Enter SRS output filename\n");
    read_name(s, s.srs_name);
    s.srs_out = open_for_writing(s, s.srs_name, taken, ntaken, "SRS");
    taken[ntaken++] = id_of_stream(s.srs_out);

    std::strcpy(s.scratch_name, "temp_file.out");
    s.scratch = open_for_writing(s, s.scratch_name, taken, ntaken, "scratch");
}

static int32_t clamp_to_int32(long v)
{
    if (v > INT32_MAX) return INT32_MAX;
    if (v < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(v);
}

// Reads one integer answer as a long and clamps it into 32 bits. An answer that is not
// a number is not consumed and leaves the field as it was; returns whether one was read.
static bool read_int_answer(RunState& s, int32_t& field)
{
    long v = 0;
    if (std::fscanf(s.ask, "%ld", &v) != 1) return false;
    field = clamp_to_int32(v);
    return true;
}

void ask_parameters(RunState& s)
{
    std::fprintf(s.con, "\n\n Enter the number of trials.  Suggest > 1000 \n");
    read_int_answer(s, s.ntrials);

    std::fprintf(s.con, "\n Enter the number of passes \n");
    read_int_answer(s, s.npasses);

    std::fprintf(s.con, "\n\n Enter arbitrary integer. \n");
    int32_t seed_skip = 0;
    if (read_int_answer(s, seed_skip) && seed_skip >= 0)
        skip_random(s, static_cast<uint64_t>(seed_skip) + 1u);  // k discards k + 1 values

    std::fprintf(s.con, "\n");

    std::fprintf(s.con, "\n Enter the maximum number of points for curve-fit\n");
    read_int_answer(s, s.max_pts);
    if (s.max_pts < 22) s.max_pts = 22;
    if (s.max_pts > max_bps) {
        s.max_pts = max_bps;
        std::fprintf(s.con, "\n max_pts above 1000 lowered to 1000 \n");
    }

    std::fprintf(s.con, "\n Enter the slope goal (db/octave).  Typically = 6 \n");
    std::fscanf(s.ask, "%lf", &s.slope);
    s.slope = std::log10(std::pow(10.0, s.slope / 20.0)) / std::log10(2.0);
    std::fprintf(s.con, "\n log-log slope = %8.4g \n", s.slope);

    std::fprintf(s.con, "\n Enter the ending frequency for the ramp (Hz) \n");
    std::fscanf(s.ask, "%lf", &s.f_ramp);

    std::fprintf(s.con, "\n Enter the estimated amplitude (G) at the ending frequency. \n");
    std::fscanf(s.ask, "%lf", &s.amp_ramp);
}

void wait_for_key(RunState& s)
{
    std::fprintf(s.con, "\n\n Press any key to exit.\n");
    std::fflush(s.con);
    const int tty = open("/dev/tty", O_RDONLY | O_NOCTTY);
    if (tty < 0) return;  // no controlling terminal: nobody to press a key
    struct termios saved;
    if (tcgetattr(tty, &saved) == 0) {
        struct termios raw = saved;
        raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
        raw.c_cc[VMIN] = 1;
        raw.c_cc[VTIME] = 0;
        tcsetattr(tty, TCSANOW, &raw);
        char key;
        while (read(tty, &key, 1) < 0 && errno == EINTR) {
        }
        tcsetattr(tty, TCSANOW, &saved);
    }
    close(tty);
}
