// Runs the built program the way a user would, with answers on standard input,
// in a folder of its own and without a controlling terminal.
#pragma once

#include <string>
#include <vector>

struct ProgramRun {
    int status;          // exit status, or 128 + signal number when killed
    std::string output;  // everything the program wrote to the console
};

// A new empty folder under the system's temporary folder.
std::string make_temp_dir();

// Removes a folder and everything in it.
void remove_tree(const std::string& dir);

// A new empty temporary folder, removed with everything in it at the end of its scope.
struct TempFolder {
    std::string path = make_temp_dir();
    TempFolder() = default;
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    ~TempFolder() { remove_tree(path); }
};

// Runs `exe` (the program by default) in `dir` with `answers` as standard input.
// The run is killed after `timeout_seconds`.
ProgramRun run_program_in(const std::string& dir, const std::string& answers, int timeout_seconds = 60,
                          const std::string& exe = DUNVALE_EXE);

struct CommandRun {
    int status;       // exit status, or 128 + signal number when killed
    std::string out;  // standard output
    std::string err;  // standard error
};

// Runs `exe` with the arguments `args` in `dir`, with `input` as standard input, the
// same way as run_program_in, keeping standard output and standard error apart.
CommandRun run_command_in(const std::string& dir, const std::string& exe, const std::vector<std::string>& args,
                          const std::string& input = "", int timeout_seconds = 60);

std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& content);
bool file_exists(const std::string& path);

// Path of a file shipped in examples/.
std::string example_path(const std::string& name);
