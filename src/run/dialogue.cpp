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
// refused, never cut: a cut name could be the name of another file. So is a name that
// holds a zero byte, which would cut it too. At the end of the answers the name stays
// empty.
static void read_name(RunState& s, char* name)
{
    int start = 0, end = 0;
    name[0] = '\0';
    if (std::fscanf(s.ask, " %n%259s%n", &start, name, &end) != 1) return;
    const int next = std::fgetc(s.ask);
    if (next != EOF && !std::isspace(next))
        stop_run(s, "a file name is longer than %d characters; nothing was written. Use a shorter name.",
                 name_size - 1);
    if (next != EOF) std::ungetc(next, s.ask);
    if (std::strlen(name) != static_cast<std::size_t>(end - start))
        stop_run(s, "a file name holds a zero byte; nothing was written. Type the name again.");
}

// Where a name leads: an existing file, or a new entry in an existing folder.
struct file_id {
    bool exists;     // the name is an existing file: dev, ino are its own
    dev_t dev;       // otherwise: dev, ino are those of the folder it would be made in,
    ino_t ino;       // and base is the last part of the name
    const char* base;
};

static bool same_file(const file_id& a, const file_id& b)
{
    if (a.exists != b.exists || a.dev != b.dev || a.ino != b.ino) return false;
    return a.exists || std::strcmp(a.base, b.base) == 0;
}

static file_id id_of_stream(FILE* stream)
{
    struct stat st;
    if (fstat(fileno(stream), &st) != 0) return {false, 0, 0, ""};
    return {true, st.st_dev, st.st_ino, ""};
}

// Checks, before anything is opened for writing, that a result name can be made: not
// empty, not a folder, and, when it is no file yet, inside a folder that exists. Fills
// its id for the comparisons with the other names.
static file_id check_result_name(const RunState& s, const char* name, const char* what)
{
    if (name[0] == '\0')
        stop_run(s, "the answers ended before the %s file name; nothing was written. Give all four file names.", what);
    struct stat st;
    if (stat(name, &st) == 0) {
        if (S_ISDIR(st.st_mode))
            stop_run(s, "the %s name %s is a folder; nothing was written. Use the name of a file.", what, name);
        if (access(name, W_OK) != 0)
            stop_run(s, "cannot write the %s file %s: %s; nothing was written. Check the name and the file's permissions.",
                     what, name, std::strerror(errno));
        return {true, st.st_dev, st.st_ino, ""};
    }
    char folder[name_size];
    const char* slash = std::strrchr(name, '/');
    const char* base = slash ? slash + 1 : name;
    if (!slash) {
        std::strcpy(folder, ".");
    } else if (slash == name) {
        std::strcpy(folder, "/");
    } else {
        const std::size_t len = static_cast<std::size_t>(slash - name);
        std::memcpy(folder, name, len);
        folder[len] = '\0';
    }
    if (base[0] == '\0' || stat(folder, &st) != 0 || !S_ISDIR(st.st_mode))
        stop_run(s, "cannot create the %s file %s: its folder does not exist; nothing was written. Check the name.",
                 what, name);
    if (access(folder, W_OK | X_OK) != 0)
        stop_run(s, "cannot create the %s file %s: %s; nothing was written. Check the folder's permissions.", what,
                 name, std::strerror(errno));
    return {false, st.st_dev, st.st_ino, base};
}

// Refuses a name that leads to a file the run reads or has already been given to write.
static void check_not_taken(const RunState& s, const char* name, const file_id& id, const file_id* taken, int ntaken,
                            const char* what)
{
    for (int k = 0; k < ntaken; ++k) {
        if (same_file(taken[k], id))
            stop_run(s, "the %s name %s is the input file or another result file; nothing was overwritten. Use another name.",
                     what, name);
    }
}

// Opens a checked result or scratch file for writing. The name is checked once more
// against the files already open, by what it now leads to.
static FILE* open_for_writing(const RunState& s, const char* name, const file_id* taken, int ntaken, const char* what)
{
    struct stat st;
    if (stat(name, &st) == 0) check_not_taken(s, name, {true, st.st_dev, st.st_ino, ""}, taken, ntaken, what);
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
    // The reader reads the file twice, rewinding in between: a pipe or a device (which
    // may never end) cannot be read that way.
    if (fstat(fileno(s.in), &in_st) != 0 || !S_ISREG(in_st.st_mode))
        stop_run(s, "the input %s is not a regular file, so nothing was written. Give the name of a file.", s.in_name);

    // Every name is checked here, but the files are opened for writing only by
    // open_results, once the record and the answers have been accepted: a run that is
    // refused leaves every file as it was.
    const char* what[4] = {"saturation", "corrected-signal", "SRS", "scratch"};
    file_id taken[5];
    int ntaken = 0;
    taken[ntaken++] = id_of_stream(s.in);

    std::fprintf(s.con, "\n Enter output filename for the saturation.\n");
    read_name(s, s.sat_name);
    taken[ntaken] = check_result_name(s, s.sat_name, what[0]);
    check_not_taken(s, s.sat_name, taken[ntaken], taken, ntaken, what[0]);
    ++ntaken;

    std::fprintf(s.con, "\n Enter output filename for the signal with the saturation removed.\n");
    read_name(s, s.sig_name);
    taken[ntaken] = check_result_name(s, s.sig_name, what[1]);
    check_not_taken(s, s.sig_name, taken[ntaken], taken, ntaken, what[1]);
    ++ntaken;

    std::fprintf(s.con, "\n Enter SRS output filename\n");
    read_name(s, s.srs_name);
    taken[ntaken] = check_result_name(s, s.srs_name, what[2]);
    check_not_taken(s, s.srs_name, taken[ntaken], taken, ntaken, what[2]);
    ++ntaken;

    std::strcpy(s.scratch_name, "temp_file.out");
    taken[ntaken] = check_result_name(s, s.scratch_name, what[3]);
    check_not_taken(s, s.scratch_name, taken[ntaken], taken, ntaken, what[3]);
}

void open_results(RunState& s)
{
    // Opened in order; each is compared again with the input and the files opened before it.
    const char* what[4] = {"saturation", "corrected-signal", "SRS", "scratch"};
    const char* names[4] = {s.sat_name, s.sig_name, s.srs_name, s.scratch_name};
    FILE** streams[4] = {&s.sat_out, &s.sig_out, &s.srs_out, &s.scratch};
    file_id opened[5];
    int nopened = 0;
    opened[nopened++] = id_of_stream(s.in);
    for (int k = 0; k < 4; ++k) {
        *streams[k] = open_for_writing(s, names[k], opened, nopened, what[k]);
        opened[nopened++] = id_of_stream(*streams[k]);
    }
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

// A real answer that is infinite or not a number ("nan", "inf", 1e999) would score every
// trial the same and the search would silently keep nothing: refuse it.
static void check_finite_answer(const RunState& s, double value, const char* what)
{
    if (!std::isfinite(value))
        stop_run(s, "the %s is not a usable number (%g); nothing was computed. Run again with a finite value.", what,
                 value);
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
    check_finite_answer(s, s.slope, "slope goal");
    std::fprintf(s.con, "\n log-log slope = %8.4g \n", s.slope);

    std::fprintf(s.con, "\n Enter the ending frequency for the ramp (Hz) \n");
    std::fscanf(s.ask, "%lf", &s.f_ramp);
    check_finite_answer(s, s.f_ramp, "ending frequency");

    std::fprintf(s.con, "\n Enter the estimated amplitude (G) at the ending frequency. \n");
    std::fscanf(s.ask, "%lf", &s.amp_ramp);
    check_finite_answer(s, s.amp_ramp, "amplitude");
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
