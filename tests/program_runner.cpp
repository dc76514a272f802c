#include "program_runner.h"

#include <fcntl.h>
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

ProgramRun run_program_in(const std::string& dir, const std::string& answers, int timeout_seconds,
                          const std::string& exe)
{
    const std::string in_path = dir + "/.answers";
    const std::string out_path = dir + "/.console";
    write_file(in_path, answers);
    const pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        setsid();  // no controlling terminal, as in CI
        if (chdir(dir.c_str()) != 0) _exit(126);
        const int in = open(in_path.c_str(), O_RDONLY);
        const int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || out < 0) _exit(126);
        dup2(in, 0);
        dup2(out, 1);
        dup2(out, 2);
        alarm(static_cast<unsigned>(timeout_seconds));  // survives exec: a hang is killed
        execl(exe.c_str(), exe.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int wstatus = 0;
    while (waitpid(pid, &wstatus, 0) < 0) {
    }
    ProgramRun run;
    run.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
    run.output = read_file(out_path);
    unlink(in_path.c_str());
    unlink(out_path.c_str());
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
