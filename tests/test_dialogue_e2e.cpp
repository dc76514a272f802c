// The file dialogue and the record checks, as a user meets them: the built program run
// in a folder of its own, answers on standard input, no terminal.
#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <regex>
#include <csignal>
#include <set>
#include <string>

#include "program_runner.h"

namespace {

const std::string params = "\n3\n1\n7\n40\n6\n100\n85\n";  // a short search

std::set<std::string> listing(const std::string& dir)
{
    std::set<std::string> names;
    if (DIR* d = opendir(dir.c_str())) {
        while (const dirent* e = readdir(d)) {
            const std::string name = e->d_name;
            if (name != "." && name != "..") names.insert(name);
        }
        closedir(d);
    }
    return names;
}

// A temporary folder for one run, removed with everything in it at the end of the test.
using Folder = TempFolder;

// A folder holding the shipped example as shock.txt.
struct ExampleFolder : Folder {
    ExampleFolder() { write_file(path + "/shock.txt", read_file(example_path("shock.txt"))); }
};

// True when the console ends with one error line right after `before`.
::testing::AssertionResult ends_with_error_after(const std::string& output, const std::string& before)
{
    const auto at = output.rfind(before);
    if (at == std::string::npos) return ::testing::AssertionFailure() << "no [" << before << "] in:\n" << output;
    const std::string rest = output.substr(at + before.size());
    const bool one_error_line = rest.compare(0, 9, "\n Error: ") == 0 && rest.size() > 11 &&
                                rest.compare(rest.size() - 2, 2, " \n") == 0 &&
                                std::count(rest.begin(), rest.end(), '\n') == 2;
    if (!one_error_line) return ::testing::AssertionFailure() << "after [" << before << "] comes [" << rest << "]";
    return ::testing::AssertionSuccess();
}

std::string error_line(const std::string& output)
{
    const auto at = output.rfind("\n Error: ");
    return at == std::string::npos ? std::string() : output.substr(at);
}

}  // namespace

// An input that cannot be opened ends the run before any result name is asked;
// an existing result file of the same name as the answer is left as it was.
TEST(FileDialogue, UnopenableInputStopsBeforeTheResultNames)
{
    const Folder folder;
    const std::string& dir = folder.path;
    write_file(dir + "/sat.txt", "keep me\n");
    mkdir((dir + "/folder").c_str(), 0755);
    for (const char* name : {"missing.txt", "folder"}) {
        SCOPED_TRACE(name);
        const ProgramRun run = run_program_in(dir, std::string(name) + "\nsat.txt\nsig.txt\nsrs.txt" + params);
        EXPECT_EQ(run.status, 1);
        EXPECT_TRUE(ends_with_error_after(run.output, "\n\n Enter input filename\n Failed to open file: " +
                                                          std::string(name) + " \n"));
        EXPECT_EQ(run.output.find("Enter output filename"), std::string::npos);
        EXPECT_EQ(listing(dir), (std::set<std::string>{"folder", "sat.txt"}));
        EXPECT_EQ(read_file(dir + "/sat.txt"), "keep me\n");
    }
}

// Names of up to 259 characters are used as typed; longer ones are refused whole,
// never cut, so neither the long name nor its first 259 characters are created.
TEST(FileDialogue, NamesLongerThan259CharactersAreRefused)
{
    const ExampleFolder folder;
    const std::string& dir = folder.path;
    const std::string sub(250, 'd');  // one folder level keeps each part under the 255-byte limit
    mkdir((dir + "/" + sub).c_str(), 0755);
    const std::string in259 = sub + "/shock.tx";        // 259 characters
    const std::string sat259 = sub + "/sat_file";       // 259
    const std::string in260 = sub + "/shock.txt";       // 260
    const std::string sat260 = sub + "/sat_file2";      // 260, cut to sat_file
    const std::string name300 = sub + "/" + std::string(49, 'x');
    ASSERT_EQ(in259.size(), 259u);
    ASSERT_EQ(in260.size(), 260u);
    ASSERT_EQ(name300.size(), 300u);
    const std::string record = read_file(example_path("shock.txt"));
    write_file(dir + "/" + in259, record);
    write_file(dir + "/" + in260, record);
    write_file(dir + "/" + in260.substr(0, 259), record);

    {
        SCOPED_TRACE("259 characters are accepted");
        const ProgramRun run = run_program_in(dir, in259 + "\n" + sat259 + "\nsig.txt\nsrs.txt" + params);
        EXPECT_EQ(run.status, 0) << run.output;
        EXPECT_NE(run.output.find(" File: " + in259 + " opened. \n"), std::string::npos);
        EXPECT_NE(read_file(dir + "/" + sat259), "");
        for (const char* f : {"/sig.txt", "/srs.txt", "/temp_file.out"}) unlink((dir + f).c_str());
        unlink((dir + "/" + sat259).c_str());
    }
    const std::set<std::string> before = listing(dir);
    const std::set<std::string> before_sub = listing(dir + "/" + sub);
    const struct {
        std::string answers;
        std::string echo;  // what the console shows last before the error
    } refused[] = {
        {in260 + "\nsat.txt\nsig.txt\nsrs.txt" + params, "\n\n Enter input filename\n"},
        {name300 + "\nsat.txt\nsig.txt\nsrs.txt" + params, "\n\n Enter input filename\n"},
        {"shock.txt\n" + sat260 + "\nsig.txt\nsrs.txt" + params, "\n Enter output filename for the saturation.\n"},
        {"shock.txt\nsat.txt\n" + name300 + "\nsrs.txt" + params,
         "\n Enter output filename for the signal with the saturation removed.\n"},
        {"shock.txt sat.txt sig.txt " + name300 + params, "\n Enter SRS output filename\n"},
    };
    for (const auto& c : refused) {
        SCOPED_TRACE(c.answers.substr(0, c.answers.find(sub)));
        const ProgramRun run = run_program_in(dir, c.answers);
        EXPECT_EQ(run.status, 1);
        EXPECT_TRUE(ends_with_error_after(run.output, c.echo));
        EXPECT_NE(error_line(run.output).find("259"), std::string::npos) << error_line(run.output);
        EXPECT_EQ(listing(dir + "/" + sub), before_sub);
        EXPECT_FALSE(file_exists(dir + "/temp_file.out"));
        for (const char* f : {"/sat.txt", "/sig.txt", "/srs.txt", "/temp_file.out"}) unlink((dir + f).c_str());
        EXPECT_EQ(listing(dir), before);
    }
    EXPECT_EQ(read_file(dir + "/" + in260), record);
    EXPECT_EQ(read_file(dir + "/" + in260.substr(0, 259)), record);
}

// A result file that cannot be created ends the run with an error that names it.
TEST(FileDialogue, ResultFileThatCannotBeCreated)
{
    const std::string bad = "no_such_folder/out.txt";
    const struct {
        std::string answers;
        const char* prompt;
    } cases[] = {
        {"shock.txt " + bad + " sig.txt srs.txt" + params, "\n Enter output filename for the saturation.\n"},
        {"shock.txt sat.txt " + bad + " srs.txt" + params,
         "\n Enter output filename for the signal with the saturation removed.\n"},
        {"shock.txt sat.txt sig.txt " + bad + params, "\n Enter SRS output filename\n"},
        {"shock.txt sat.txt a_folder srs.txt" + params,
         "\n Enter output filename for the signal with the saturation removed.\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answers);
        const ExampleFolder folder;
    const std::string& dir = folder.path;
        mkdir((dir + "/a_folder").c_str(), 0755);
        const ProgramRun run = run_program_in(dir, c.answers);
        EXPECT_EQ(run.status, 1);
        const std::string named = c.answers.find(bad) != std::string::npos ? bad : "a_folder";
        EXPECT_NE(error_line(run.output).find(named), std::string::npos) << run.output;
        EXPECT_TRUE(ends_with_error_after(run.output, c.prompt));
        EXPECT_EQ(run.output.find("header lines detected"), std::string::npos);
        EXPECT_FALSE(file_exists(dir + "/temp_file.out"));
        EXPECT_EQ(read_file(dir + "/shock.txt"), read_file(example_path("shock.txt")));
    }
}

// A result name that is the input file, by any path, or a file opened earlier in the
// dialogue, is refused before anything is emptied.
TEST(FileDialogue, ResultNameThatIsTheInputOrAnEarlierResult)
{
    const std::string record = "time(sec) accel(G)\r\n" + read_file(example_path("shock.txt"));
    const struct {
        std::string answers;
        std::string input;  // name under which the record is stored
    } cases[] = {
        {"in.txt in.txt sig.txt srs.txt", "in.txt"},
        {"in.txt ./in.txt sig.txt srs.txt", "in.txt"},
        {"in.txt sat.txt sub/../in.txt srs.txt", "in.txt"},
        {"in.txt sat.txt sig.txt hard_link.txt", "in.txt"},
        {"in.txt sat.txt sig.txt soft_link.txt", "in.txt"},
        {"./in.txt sat.txt sig.txt in.txt", "in.txt"},
        {"in.txt sat.txt sat.txt srs.txt", "in.txt"},
        {"in.txt sat.txt sig.txt ./sig.txt", "in.txt"},
        {"in.txt sat.txt sig.txt hard_sat.txt", "in.txt"},
        {"temp_file.out sat.txt sig.txt srs.txt", "temp_file.out"},
        {"in.txt sat.txt sig.txt temp_file.out", "in.txt"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answers);
        const Folder folder;
    const std::string& dir = folder.path;
        const std::string in = dir + "/" + c.input;
        write_file(in, record);
        mkdir((dir + "/sub").c_str(), 0755);
        ASSERT_EQ(link(in.c_str(), (dir + "/hard_link.txt").c_str()), 0);
        ASSERT_EQ(symlink(c.input.c_str(), (dir + "/soft_link.txt").c_str()), 0);
        write_file(dir + "/sat.txt", "earlier result\n");
        ASSERT_EQ(link((dir + "/sat.txt").c_str(), (dir + "/hard_sat.txt").c_str()), 0);

        const ProgramRun run = run_program_in(dir, c.answers + params);
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.output.find(" File: "), std::string::npos);
        EXPECT_NE(error_line(run.output), "") << run.output;
        EXPECT_EQ(run.output.find("header lines detected"), std::string::npos);
        EXPECT_EQ(read_file(in), record);  // byte for byte
    }
}

// Blank lines after the header (spaces, tabs, CRLF, a blank last line) change nothing:
// the console and every result file are those of the record without them.
TEST(RecordReading, BlankLinesChangeNothing)
{
    std::string record = read_file(example_path("shock.txt"));
    const Folder plain_folder;
    const std::string& plain_dir = plain_folder.path;
    write_file(plain_dir + "/shock.txt", record);
    const auto third_line = record.find('\n', record.find('\n', record.find('\n') + 1) + 1) + 1;
    record.insert(third_line, " \t \r\n\n");
    record += "\r\n  \n\t\n";
    const Folder blank_folder;
    const std::string& blank_dir = blank_folder.path;
    write_file(blank_dir + "/shock.txt", record);

    const std::string answers = "shock.txt sat.txt sig.txt srs.txt" + params;
    const ProgramRun plain = run_program_in(plain_dir, answers);
    const ProgramRun blank = run_program_in(blank_dir, answers);
    ASSERT_EQ(plain.status, 0) << plain.output;
    ASSERT_EQ(blank.status, 0) << blank.output;
    auto without_clock = [](const std::string& text) {
        // the date and the elapsed seconds are the only parts that differ between runs
        static const std::regex date(R"(\w{3} \w{3} [ \d]\d \d\d:\d\d:\d\d \d{4}\n)");
        static const std::regex seconds(R"( \d+ sec\n)");
        return std::regex_replace(std::regex_replace(text, date, "<date>\n"), seconds, " <n> sec\n");
    };
    ASSERT_NE(without_clock(plain.output).find("<date>\n"), std::string::npos);
    EXPECT_EQ(without_clock(blank.output), without_clock(plain.output));
    EXPECT_NE(blank.output.find("\n n = 7501 \n"), std::string::npos);
    for (const char* f : {"/sat.txt", "/sig.txt", "/srs.txt"}) EXPECT_EQ(read_file(blank_dir + f), read_file(plain_dir + f)) << f;
}

// Records the search cannot use are refused right after the reader's report,
// before the parameter dialogue.
TEST(RecordReading, UnusableRecordsAreRefusedAfterTheReport)
{
    const struct {
        const char* name;
        std::string record;
        const char* n_line;
    } cases[] = {
        {"no samples", "time amplitude\n", "\n n = 0 \n"},
        {"one sample", "0 1\n", "\n n = 1 \n"},
        {"six samples", "t a\n0 1\n1 2\n2 3\n3 4\n4 5\n5 6\n", "\n n = 6 \n"},
        {"six samples and blank lines", "0 1\n1 2\n\n2 3\n3 4\n4 5\n5 6\n\n\n", "\n n = 6 \n"},
        {"equal times", "1 1\n1 2\n1 3\n1 4\n1 5\n1 6\n1 7\n1 8\n", "\n n = 8 \n"},
        {"falling times", "7 1\n6 2\n5 3\n4 4\n3 5\n2 6\n1 7\n0 8\n", "\n n = 8 \n"},
        {"last time back at the first", "-1 1\n0 2\n1 3\n2 4\n3 5\n4 6\n5 7\n-1 8\n", "\n n = 8 \n"},
        {"infinite interval", "-1e+308 1\n0 2\n1 3\n2 4\n3 5\n4 6\n5 7\n1e+308 8\n", "\n n = 8 \n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Folder folder;
    const std::string& dir = folder.path;
        write_file(dir + "/in.txt", c.record);
        const ProgramRun run = run_program_in(dir, "in.txt sat.txt sig.txt srs.txt" + params);
        EXPECT_EQ(run.status, 1);
        EXPECT_TRUE(ends_with_error_after(run.output, c.n_line));
        EXPECT_EQ(run.output.find("Enter the number of trials"), std::string::npos);
    }
}

// The largest arbitrary integer and an out-of-range number of points: the run ends,
// says that max_pts was lowered right after that answer, and does not wait for a key
// without a terminal.
TEST(ParameterDialogue, LargeAnswersEndAndNoTerminalMeansNoWait)
{
    const ExampleFolder folder;
    const std::string& dir = folder.path;
    const ProgramRun run =
        run_program_in(dir, "shock.txt sat.txt sig.txt srs.txt\n3\n1\n2147483647\n99999999999\n6\n100\n85\n", 60);
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("\n\n Enter arbitrary integer. \n\n"
                              "\n Enter the maximum number of points for curve-fit\n"
                              "\n max_pts above 1000 lowered to 1000 \n"
                              "\n Enter the slope goal (db/octave).  Typically = 6 \n"
                              "\n log-log slope =   0.9966 \n"),
              std::string::npos)
        << run.output;
    const std::string last = "\n\n Press any key to exit.\n";
    ASSERT_GE(run.output.size(), last.size());
    EXPECT_EQ(run.output.substr(run.output.size() - last.size()), last);
    EXPECT_EQ(read_file(dir + "/temp_file.out"), "");
}

// With a controlling terminal the program waits for one key, read without echo and
// without Enter, and leaves the terminal's settings as it found them.
TEST(KeyPress, ReadFromTheTerminalWithoutEchoAndSettingsRestored)
{
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) GTEST_SKIP() << "no pseudo-terminal here";
    const std::string slave_name = ptsname(master);
    termios before;
    ASSERT_EQ(tcgetattr(master, &before), 0);
    ASSERT_TRUE(before.c_lflag & ECHO);
    ASSERT_TRUE(before.c_lflag & ICANON);

    const ExampleFolder folder;
    const std::string& dir = folder.path;
    write_file(dir + "/.answers", "shock.txt sat.txt sig.txt srs.txt" + params);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        setsid();
        const int tty = open(slave_name.c_str(), O_RDWR);  // becomes the controlling terminal
        if (tty < 0 || ioctl(tty, TIOCSCTTY, 0) != 0) _exit(125);
        if (chdir(dir.c_str()) != 0) _exit(126);
        const int in = open(".answers", O_RDONLY);
        const int out = open(".console", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || out < 0) _exit(126);
        dup2(in, 0);
        dup2(out, 1);
        dup2(out, 2);
        alarm(60);
        execl(DUNVALE_EXE, DUNVALE_EXE, static_cast<char*>(nullptr));
        _exit(127);
    }

    // Wait for the closing prompt, then for the program to switch the terminal to single keys.
    bool prompted = false, ended = false;
    for (int k = 0; k < 2000 && !prompted && !ended; ++k) {
        ended = waitpid(pid, nullptr, WNOHANG) == pid;
        prompted = read_file(dir + "/.console").find("\n\n Press any key to exit.\n") != std::string::npos;
        if (!prompted) usleep(10000);
    }
    termios waiting{};
    for (int k = 0; k < 200 && prompted && !ended; ++k) {
        if (tcgetattr(master, &waiting) == 0 && !(waiting.c_lflag & ICANON)) break;
        usleep(10000);
    }
    usleep(50000);
    ended = ended || waitpid(pid, nullptr, WNOHANG) == pid;
    if (!prompted || ended || (waiting.c_lflag & (ICANON | ECHO))) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        close(master);
        FAIL() << (ended ? "the program did not wait for the key" : "no single-key mode without echo") << "\n"
               << read_file(dir + "/.console");
    }
    int wstatus = 0;
    ASSERT_EQ(write(master, "k", 1), 1);  // one key, no Enter
    ASSERT_EQ(waitpid(pid, &wstatus, 0), pid);
    EXPECT_TRUE(WIFEXITED(wstatus));
    EXPECT_EQ(WEXITSTATUS(wstatus), 0);

    termios after;
    ASSERT_EQ(tcgetattr(master, &after), 0);
    EXPECT_EQ(after.c_lflag, before.c_lflag);
    EXPECT_EQ(after.c_cc[VMIN], before.c_cc[VMIN]);
    EXPECT_EQ(after.c_cc[VTIME], before.c_cc[VTIME]);

    // Nothing came back on the terminal: the key was not echoed.
    fcntl(master, F_SETFL, O_NONBLOCK);
    char echoed[16];
    EXPECT_LE(read(master, echoed, sizeof echoed), 0);
    close(master);
}
