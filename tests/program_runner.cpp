#include "program_runner.h"

#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

std::string make_temp_dir()
{
    const char* base = std::getenv("TMPDIR");
    std::string templ = std::string(base && *base ? base : "/tmp") + "/dunvale-test-XXXXXX";
    if (!mkdtemp(&templ[0])) throw std::runtime_error("mkdtemp failed");
    return templ;
}

// Runs `exe` with `args` in `dir` without a controlling terminal, standard input from
// `in_path`, standard output to `out_path` and standard error to `err_path` (the same
// file is allowed). Returns the exit status, or 128 + signal number when killed.
static int run_in(const std::string& dir, const std::string& exe, const std::vector<std::string>& args,
                  const std::string& in_path, const std::string& out_path, const std::string& err_path,
                  int timeout_seconds)
{
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(exe.c_str()));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        setsid();  // no controlling terminal, as in CI
        if (chdir(dir.c_str()) != 0) _exit(126);
        const int in = open(in_path.c_str(), O_RDONLY);
        const int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = err_path == out_path ? out : open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || out < 0 || err < 0) _exit(126);
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        alarm(static_cast<unsigned>(timeout_seconds));  // survives exec: a hang is killed
        execv(exe.c_str(), argv.data());
        _exit(127);
    }
    int wstatus = 0;
    while (waitpid(pid, &wstatus, 0) < 0) {
    }
    return WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
}

static int remove_entry(const char* path, const struct stat*, int, struct FTW*)
{
    return std::remove(path);
}

void remove_tree(const std::string& dir)
{
    nftw(dir.c_str(), remove_entry, 16, FTW_DEPTH | FTW_PHYS);
}

ProgramRun run_program_in(const std::string& dir, const std::string& answers, int timeout_seconds,
                          const std::string& exe)
{
    const std::string in_path = dir + "/.answers";
    const std::string out_path = dir + "/.console";
    write_file(in_path, answers);
    ProgramRun run;
    run.status = run_in(dir, exe, {}, in_path, out_path, out_path, timeout_seconds);
    run.output = read_file(out_path);
    unlink(in_path.c_str());
    unlink(out_path.c_str());
    return run;
}

CommandRun run_command_in(const std::string& dir, const std::string& exe, const std::vector<std::string>& args,
                          const std::string& input, int timeout_seconds)
{
    const std::string in_path = dir + "/.stdin";
    const std::string out_path = dir + "/.stdout";
    const std::string err_path = dir + "/.stderr";
    write_file(in_path, input);
    CommandRun run;
    run.status = run_in(dir, exe, args, in_path, out_path, err_path, timeout_seconds);
    run.out = read_file(out_path);
    run.err = read_file(err_path);
    unlink(in_path.c_str());
    unlink(out_path.c_str());
    unlink(err_path.c_str());
    return run;
}

std::string read_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void write_file(const std::string& path, const std::string& content)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

bool file_exists(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

std::string example_path(const std::string& name)
{
    return std::string(DUNVALE_EXAMPLES) + "/" + name;
}
