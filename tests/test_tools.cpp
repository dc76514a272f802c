// The companion tools as a user runs them: dunvale-srs and dunvale-plot.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "program_runner.h"

namespace {

const std::string srs_exe = DUNVALE_SRS_EXE;
const std::string plot_exe = DUNVALE_PLOT;

// A run of the program that does no search: its spectrum file is the input's spectrum.
const char* const no_pass_answers = "shock.txt sat.txt sig.txt srs.txt\n0\n0\n1\n40\n6\n100\n85\n";

class SrsTool : public ::testing::Test {
protected:
    void SetUp() override
    {
        shock = read_file(example_path("shock.txt"));
        write_file(dir + "/shock.txt", shock);
    }

    // The spectrum file that the program writes for the example without a search.
    std::string program_spectrum()
    {
        const TempFolder run_folder;
        const std::string& run_dir = run_folder.path;
        write_file(run_dir + "/shock.txt", shock);
        const ProgramRun run = run_program_in(run_dir, no_pass_answers);
        EXPECT_EQ(run.status, 0) << run.output;
        return read_file(run_dir + "/srs.txt");
    }

    CommandRun srs(const std::vector<std::string>& args, const std::string& input = "")
    {
        return run_command_in(dir, srs_exe, args, input);
    }

    const TempFolder folder;
    const std::string dir = folder.path;
    std::string shock;
};

TEST_F(SrsTool, GivesTheProgramsSpectrumFileForTheExample)
{
    const std::string expected = program_spectrum();
    ASSERT_EQ(std::count(expected.begin(), expected.end(), '\n'), 66);

    const CommandRun from_file = srs({"shock.txt"});
    EXPECT_EQ(from_file.status, 0) << from_file.err;
    EXPECT_EQ(from_file.out, expected);
    EXPECT_EQ(from_file.err, "");  // header echo and reader report stay off the terminal

    const CommandRun from_stdin = srs({"-"}, shock);
    EXPECT_EQ(from_stdin.status, 0) << from_stdin.err;
    EXPECT_EQ(from_stdin.out, expected);

    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"-o", "out.txt", "shock.txt"}, {"shock.txt", "--output=out.txt"}, {"-oout.txt", "-"}}) {
        std::remove((dir + "/out.txt").c_str());
        const CommandRun to_file = srs(args, shock);
        EXPECT_EQ(to_file.status, 0) << args[0] << ": " << to_file.err;
        EXPECT_EQ(to_file.out, "") << args[0];
        EXPECT_EQ(read_file(dir + "/out.txt"), expected) << args[0];
    }
}

TEST_F(SrsTool, ReadsTheInputWithTheProgramsRules)
{
    // The example rewritten with a comma after each time, a header of two lines with
    // letters and separators, and a blank line before the samples: the same record.
    std::string commas = "# pyroshock, channel 3\ntime,accel\n\n";
    std::size_t pos = shock.find('\n', shock.find('\n') + 1) + 1;  // after the two header lines
    while (pos < shock.size()) {
        const std::size_t end = shock.find('\n', pos);
        std::string line = shock.substr(pos, end - pos);
        const std::size_t gap = line.find("  ");
        commas += line.substr(0, gap) + ",\t" + line.substr(gap + 2) + "\r\n";
        pos = end + 1;
    }
    write_file(dir + "/commas.csv", commas);
    const CommandRun plain = srs({"shock.txt"});
    const CommandRun with_commas = srs({"commas.csv"});
    EXPECT_EQ(with_commas.status, 0) << with_commas.err;
    EXPECT_EQ(with_commas.out, plain.out);

    const CommandRun samples = srs({"--samples", "commas.csv"});
    EXPECT_EQ(samples.status, 0) << samples.err;
    EXPECT_EQ(std::count(samples.out.begin(), samples.out.end(), '\n'), 7501);
    EXPECT_EQ(samples.out.substr(0, samples.out.find('\n') + 1), "-2.0000000e-02 \t  2.8584000e-01 \n");

    const CommandRun verbose = srs({"-v", "shock.txt"});
    EXPECT_EQ(verbose.out, plain.out);
    EXPECT_NE(verbose.err.find("\n 2 header lines detected \n\n"), std::string::npos) << verbose.err;
    EXPECT_NE(verbose.err.find("\n n = 7501 \n"), std::string::npos) << verbose.err;
}

TEST_F(SrsTool, HelpGoesToStandardOutput)
{
    const CommandRun help = srs({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("Usage: dunvale-srs ", 0), 0u) << help.out;
    EXPECT_EQ(help.err, "");
}

struct FailureCase {
    const char* what;
    std::vector<std::string> args;
    int status;
    const char* message;  // expected on standard error
};

TEST_F(SrsTool, RefusesWithAMessageAndANonZeroStatus)
{
    write_file(dir + "/short.txt", "0 1\n0.001 2\n0.002 3\n");
    write_file(dir + "/flat.txt", "0 1\n0 2\n0 3\n0 4\n0 5\n0 6\n0 7\n");
    const FailureCase cases[] = {
        {"missing file", {"nofile.txt"}, 1, "dunvale-srs: cannot open nofile.txt: No such file or directory"},
        {"folder", {"."}, 1, "dunvale-srs: cannot read .: Is a directory"},
        {"too few samples", {"short.txt"}, 1, "Error: the record holds 3 samples"},
        {"no time step", {"flat.txt"}, 1, "Error: the sample interval is not a positive number"},
        {"output is the input", {"-o", "shock.txt", "shock.txt"}, 1, "is the input file; nothing was written"},
        {"output cannot be created", {"-o", "no/such/dir/out.txt", "shock.txt"}, 1, "cannot create no/such/dir/out.txt"},
        {"no input", {}, 2, "no input file given"},
        {"two inputs", {"shock.txt", "shock.txt"}, 2, "more than one input file"},
        {"unknown option", {"--frobnicate", "shock.txt"}, 2, "unknown option '--frobnicate'"},
        {"option without value", {"shock.txt", "-o"}, 2, "option '-o' needs a file name"},
    };
    for (const FailureCase& c : cases) {
        const CommandRun run = srs(c.args);
        EXPECT_EQ(run.status, c.status) << c.what;
        EXPECT_EQ(run.out, "") << c.what;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << c.what << ": " << run.err;
    }
    EXPECT_EQ(read_file(dir + "/shock.txt"), shock);  // never overwritten
}

bool gnuplot_present(const std::string& dir)
{
    return run_command_in(dir, "/bin/sh", {"-c", "command -v gnuplot"}).status == 0;
}

bool png_signature(const std::string& data)
{
    return data.compare(0, 8, std::string("\x89PNG\r\n\x1a\n", 8)) == 0;
}

// Renders the shipped example as the README shows it. In CI gnuplot is installed by
// .ci/run, so its absence there is a failure; elsewhere the test is skipped.
TEST(PlotTool, RendersTheExampleToPngPictures)
{
    const TempFolder folder;
    const std::string& dir = folder.path;
    if (!gnuplot_present(dir)) {
        if (std::getenv("CI")) FAIL() << "gnuplot is missing in CI (.ci/run installs gnuplot-nox)";
        GTEST_SKIP() << "gnuplot is not installed (apt-get install gnuplot-nox)";
    }
    write_file(dir + "/shock.txt", read_file(example_path("shock.txt")));
    const ProgramRun run = run_program_in(dir, "shock.txt sat.txt sig.txt srs.txt\n200\n1\n7\n40\n6\n100\n85\n");
    ASSERT_EQ(run.status, 0) << run.output;

    const CommandRun plot = run_command_in(
        dir, plot_exe, {"-s", "6", "-f", "100", "-a", "85", "-o", "pic", "shock.txt", "sat.txt", "sig.txt", "srs.txt"});
    ASSERT_EQ(plot.status, 0) << plot.err;
    EXPECT_EQ(plot.out, "pic-time.png\npic-srs.png\n");
    for (const char* name : {"pic-time.png", "pic-srs.png"}) {
        const std::string png = read_file(dir + "/" + name);
        EXPECT_GT(png.size(), 20000u) << name;
        EXPECT_TRUE(png_signature(png)) << name;
    }
}

TEST(PlotTool, SaysWhatIsWrong)
{
    const TempFolder folder;
    const std::string& dir = folder.path;
    write_file(dir + "/shock.txt", read_file(example_path("shock.txt")));
    for (const char* name : {"sat.txt", "sig.txt", "srs.txt"}) write_file(dir + "/" + name, "");
    const std::vector<std::string> files = {"shock.txt", "sat.txt", "sig.txt", "srs.txt"};
    auto with = [&](std::vector<std::string> args) {
        args.insert(args.end(), files.begin(), files.end());
        return args;
    };

    const CommandRun help = run_command_in(dir, plot_exe, {"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("Usage: dunvale-plot ", 0), 0u) << help.out;

    const FailureCase cases[] = {
        {"no ramp slope", with({"-f", "100", "-a", "85"}), 2, "the slope goal is missing"},
        {"slope not a number", with({"-s", "six", "-f", "100", "-a", "85"}), 2, "'six' is not a number"},
        {"three files", {"-s", "6", "-f", "100", "-a", "85", "shock.txt", "sat.txt", "sig.txt"}, 2, "four files"},
        {"missing file",
         {"-s", "6", "-f", "100", "-a", "85", "shock.txt", "sat.txt", "nofile.txt", "srs.txt"},
         1,
         "cannot open nofile.txt"},
        {"missing output folder", with({"-s", "6", "-f", "100", "-a", "85", "-o", "nodir/"}), 1, "does not exist"},
    };
    for (const FailureCase& c : cases) {
        const CommandRun run = run_command_in(dir, plot_exe, c.args);
        EXPECT_EQ(run.status, c.status) << c.what;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << c.what << ": " << run.err;
    }

    // Without gnuplot the tool says so and fails, whatever else is right.
    setenv("GNUPLOT", "/nonexistent/gnuplot", 1);
    const CommandRun no_gnuplot = run_command_in(dir, plot_exe, with({"-s", "6", "-f", "100", "-a", "85"}));
    unsetenv("GNUPLOT");
    EXPECT_EQ(no_gnuplot.status, 1);
    EXPECT_NE(no_gnuplot.err.find("gnuplot not found"), std::string::npos) << no_gnuplot.err;
    EXPECT_NE(no_gnuplot.err.find("apt-get install gnuplot-nox"), std::string::npos) << no_gnuplot.err;
    EXPECT_FALSE(file_exists(dir + "/shock-time.png"));
}

}  // namespace
