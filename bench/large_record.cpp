// A record of 1,000,000 samples, end to end: how long reading it takes, and how much
// memory the program needs for a whole run of a few trials.
//   build/bench/bench_large_record [trials]
// Reading is timed in this process with the program's own reader (best of three);
// the whole run is the built program, run as a child with its answers on standard
// input, whose peak resident memory the kernel reports when it ends.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "input/reader.h"
#include "run/state.h"

static double seconds_since(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// 1,000,000 samples at 50 kHz from -0.02 s: decaying bursts after time 0, a slow drift
// to an offset (the saturation error) and a little deterministic noise.
static void write_record(const std::string& path)
{
    FILE* out = std::fopen(path.c_str(), "w");
    if (!out) {
        std::perror(path.c_str());
        std::exit(1);
    }
    std::fprintf(out, "large record for the benchmark\ntime(sec) accel(G)\n");
    const double dt = 2e-5;
    unsigned noise = 1;
    for (long i = 0; i < 1000000; ++i) {
        const double t = -0.02 + static_cast<double>(i) * dt;
        noise = noise * 1103515245u + 12345u;
        double a = (static_cast<double>((noise >> 16) & 0x7FFF) / 32767.0 - 0.5) * 0.02;
        if (t >= 0) {
            a += 40.0 * std::exp(-t / 0.05) * std::sin(2 * 3.141592653589793 * 800.0 * t);
            a += 15.0 * std::exp(-t / 0.08) * std::sin(2 * 3.141592653589793 * 230.0 * t);
            a += 2.0 * (1.0 - std::exp(-t / 0.3));
        }
        std::fprintf(out, "%.6f %.6f\n", t, a);
    }
    std::fclose(out);
}

static double time_reading(const std::string& path, long& n)
{
    double best = 1e300;
    auto state = make_run_state();
    RunState& s = *state;
    s.con = std::fopen("/dev/null", "w");
    for (int k = 0; k < 3; ++k) {
        s.n = 0;
        s.in = std::fopen(path.c_str(), "rb");
        const auto start = std::chrono::steady_clock::now();
        count_header_lines(s);
        read_samples(s);
        const double took = seconds_since(start);
        if (took < best) best = took;
        std::fclose(s.in);
    }
    std::fclose(s.con);
    n = s.n;
    return best;
}

int main(int argc, char** argv)
{
    const int trials = argc > 1 ? std::atoi(argv[1]) : 3;
    char dir_template[] = "/tmp/dunvale-bench-XXXXXX";
    if (!mkdtemp(dir_template)) return 1;
    const std::string dir = dir_template;
    const std::string record = dir + "/record.txt";
    write_record(record);

    long n = 0;
    const double read_seconds = time_reading(record, n);

    const std::string answers = dir + "/answers.txt";
    FILE* a = std::fopen(answers.c_str(), "w");
    std::fprintf(a, "record.txt sat.txt sig.txt srs.txt\n%d\n1\n7\n40\n6\n100\n85\n", trials);
    std::fclose(a);

    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        setsid();  // no controlling terminal: the program does not wait for a key
        if (chdir(dir.c_str()) != 0) _exit(126);
        const int in = open(answers.c_str(), O_RDONLY);
        const int out = open((dir + "/console.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || out < 0) _exit(126);
        dup2(in, 0);
        dup2(out, 1);
        execl(DUNVALE_EXE, DUNVALE_EXE, static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    struct rusage usage;
    if (wait4(pid, &status, 0, &usage) != pid) return 1;
    const double run_seconds = seconds_since(start);

    std::printf("samples read:            %ld\n", n);
    std::printf("reading the file:        %.3f s (header pass and sample pass, best of 3)\n", read_seconds);
    std::printf("whole run, %d trial(s):   %.2f s, exit status %d\n", trials, run_seconds,
                WIFEXITED(status) ? WEXITSTATUS(status) : -1);
    std::printf("peak resident memory:    %.1f MB\n", static_cast<double>(usage.ru_maxrss) / 1024.0);
    std::printf("fixed tables (RunState): %.1f MB\n", static_cast<double>(sizeof(RunState)) / (1024.0 * 1024.0));

    for (const char* name : {"record.txt", "answers.txt", "console.txt", "sat.txt", "sig.txt", "srs.txt", "temp_file.out"})
        unlink((dir + "/" + name).c_str());
    rmdir(dir.c_str());
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 0 : 1;
}
