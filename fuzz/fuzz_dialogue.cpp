// Fuzzes the file and parameter dialogue with the answer stream. The harness works in a
// private temporary folder that holds one input file, "in.txt"; every '/' of the answers
// becomes '_', so no name can leave that folder. After each input it checks that
// "in.txt" is unchanged and the parameters are in range, then deletes every other file.
#include <dirent.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_common.h"
#include "run/dialogue.h"

static const char input_text[] = "time amplitude\n-0.001 0.5\n0 1\n0.001 2\n0.002 1\n0.003 0\n0.004 -1\n0.005 0\n";

static void write_input_file()
{
    FILE* f = std::fopen("in.txt", "wb");
    if (!f) fuzz_fail("cannot write in.txt");
    std::fputs(input_text, f);
    std::fclose(f);
}

static bool input_file_unchanged()
{
    FILE* f = std::fopen("in.txt", "rb");
    if (!f) return false;
    char buf[sizeof input_text + 8];
    const std::size_t got = std::fread(buf, 1, sizeof buf, f);
    std::fclose(f);
    return got == sizeof input_text - 1 && std::memcmp(buf, input_text, got) == 0;
}

// Removes everything the dialogue created, leaving only the input file.
static void clear_folder()
{
    DIR* dir = opendir(".");
    if (!dir) fuzz_fail("cannot list the working folder");
    std::vector<std::string> names;
    while (const dirent* e = readdir(dir)) {
        if (std::strcmp(e->d_name, ".") && std::strcmp(e->d_name, "..") && std::strcmp(e->d_name, "in.txt"))
            names.push_back(e->d_name);
    }
    closedir(dir);
    for (const std::string& name : names)
        if (unlink(name.c_str()) != 0 && rmdir(name.c_str()) != 0) fuzz_fail("cannot clear the working folder");
}

static void check_after(RunState& s)
{
    // "in.txt" is the only file that exists before the dialogue; a run that reads it
    // must leave it as it was.
    if (std::strcmp(s.in_name, "in.txt") == 0 && !input_file_unchanged()) fuzz_fail("the input file was changed");
    if (!input_file_unchanged()) write_input_file();  // named as a result of a run that read another file
    clear_folder();
    fuzz_reset(s);
}

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz_enter_temp_dir();
    write_input_file();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    RunState& s = fuzz_state();
    fuzz_reset(s);

    std::vector<char> answers(data, data + size);
    for (char& c : answers)
        if (c == '/') c = '_';
    answers.push_back('\0');
    s.ask = fmemopen(answers.data(), size == 0 ? 1 : size, "rb");
    if (!s.ask) fuzz_fail("fmemopen");
    if (size == 0) std::fgetc(s.ask);

    if (setjmp(fuzz_stop_point) != 0) {
        if (s.ask) std::fclose(s.ask);
        s.ask = nullptr;
        check_after(s);
        return 0;  // refused with an error line: the input was handled
    }
    open_files(s);
    ask_parameters(s);
    std::fclose(s.ask);
    s.ask = nullptr;
    open_results(s);

    if (s.max_pts < 22 || s.max_pts > max_bps) fuzz_fail("max_pts out of range");
    if (!std::isfinite(s.slope) || !std::isfinite(s.f_ramp) || !std::isfinite(s.amp_ramp))
        fuzz_fail("accepted an answer that is not finite");
    if (!s.in || !s.sat_out || !s.sig_out || !s.srs_out || !s.scratch) fuzz_fail("a stream is not open");
    check_after(s);
    return 0;
}
