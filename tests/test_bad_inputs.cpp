// Bad input files and bad answers, run end to end against the built program in a
// temporary folder without a terminal. For every case: the exit status, the message, no
// file touched but the ones the case may write, the input file unchanged, and, when the
// run is refused, every file it created still empty.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "program_runner.h"

namespace {

// A usable record: a header line and 200 samples from -0.02 s at 2 kHz.
std::string good_record(const char* eol = "\n")
{
    std::string text = std::string("time amplitude") + eol;
    char line[80];
    for (int i = 0; i < 200; ++i) {
        const double t = -0.02 + i * 0.0005;
        const double a = (i % 7) * 0.25 - 0.5 + (t > 0 ? 0.3 : 0.0);
        std::snprintf(line, sizeof line, "%.4f %.4f%s", t, a, eol);
        text += line;
    }
    return text;
}

// A record with one sample line replaced.
std::string record_with(std::string text, int index, const char* replacement)
{
    std::size_t pos = text.find('\n') + 1;  // after the header
    for (int i = 0; i < index; ++i) pos = text.find('\n', pos) + 1;
    const std::size_t end = text.find('\n', pos);
    return text.replace(pos, end - pos, replacement);
}

std::string good_record_with(int index, const char* replacement)
{
    return record_with(good_record(), index, replacement);
}

std::string record_of(int count, double t0, double step)
{
    std::string text = "t a\n";
    char line[80];
    for (int i = 0; i < count; ++i) {
        std::snprintf(line, sizeof line, "%.17g %d\n", t0 + i * step, i % 3);
        text += line;
    }
    return text;
}

std::string in_good() { return good_record(); }
std::string in_crlf() { return good_record("\r\n"); }
std::string in_empty() { return ""; }
std::string in_1() { return record_of(1, 0.0, 0.001); }
std::string in_2() { return record_of(2, 0.0, 0.001); }
std::string in_6() { return record_of(6, 0.0, 0.001); }
std::string in_falling() { return record_of(7, 0.006, -0.001); }
std::string in_repeating() { return record_of(7, 0.001, 0.0); }
std::string in_before_zero() { return record_of(50, -0.2, 0.001); }
std::string in_tiny_step() { return record_of(7, 0.0, 1e-12); }
std::string in_amp_overflow() { return good_record_with(60, "0.0100 1e+999"); }
std::string in_neg_overflow() { return good_record_with(60, "0.0100 -1e+999"); }
std::string in_time_overflow() { return good_record_with(60, "1e+999 0.5"); }
std::string in_huge_amp() { return good_record_with(60, "0.0100 1e+200"); }

// Rises overall, but with repeated and falling times in between: used as read.
std::string in_uneven() { return record_with(good_record_with(60, "0.0095 0.1"), 61, "0.0050 0.2"); }

std::string in_binary()
{
    std::string text;
    for (int k = 0; k < 64; ++k)
        for (int b = 0; b < 256; ++b) text += static_cast<char>(b);
    return text;
}

// 1,000,001 sample lines: the reader keeps the first 1,000,000.
std::string in_million_and_one()
{
    std::string text;
    text.reserve(26u * 1000001u);
    char line[64];
    for (long i = 0; i <= 1000000; ++i) {
        std::snprintf(line, sizeof line, "%.6f %.3f\n", -0.01 + i * 1e-6, (i % 11) * 0.1);
        text += line;
    }
    return text;
}

// A title of 350 letters (two header lines) and a sample line padded to 330 bytes
// (its first 299 blanks read as a blank line, skipped).
std::string in_long_lines()
{
    std::string text = std::string(350, 'x') + "\n" + good_record();
    const std::size_t pos = text.find("0.0000 ");
    return text.insert(pos, std::string(320, ' '));
}

const std::string name259 = "sub/" + std::string(255, 'n');
const std::string name260 = std::string(260, 'n');
const std::string name300 = std::string(300, 'n');

const std::vector<std::string> results = {"sat.txt", "sig.txt", "srs.txt", "temp_file.out"};
const std::vector<std::string> nothing = {};

// Four names, then the seven numbers: trials, passes, arbitrary integer, max points,
// slope goal, ending frequency, amplitude.
std::string answers(const std::string& numbers, const std::string& names = "in.txt sat.txt sig.txt srs.txt")
{
    return names + "\n" + numbers;
}
const std::string usual = "5\n1\n7\n40\n6\n100\n85\n";

struct BadCase {
    const char* id;
    std::string (*input)();  // content of in.txt
    std::string answers;
    int status;
    std::string message;  // appears in the console output
    std::string absent;   // must not appear (empty: no such text)
    std::vector<std::string> may_write;
    bool stops_after_writing = false;  // a refused run that had begun to write its results
};

// Names the case in test output instead of its bytes.
void PrintTo(const BadCase& c, std::ostream* os)
{
    *os << c.id;
}

const char* const refused_name = "is the input file or another result file; nothing was overwritten";

std::vector<BadCase> bad_cases()
{
    return {
        // file names
        {"MissingInput", in_good, answers(usual, "missing.txt sat.txt sig.txt srs.txt"), 1,
         " Failed to open file: missing.txt \n\n Error: the input file cannot be read", "Enter output filename",
         nothing},
        {"InputIsAFolder", in_good, answers(usual, "sub sat.txt sig.txt srs.txt"), 1,
         " Failed to open file: sub \n\n Error: the input file cannot be read", "Enter output filename", nothing},
        {"InputIsADeviceThatNeverEnds", in_good, answers(usual, "/dev/zero sat.txt sig.txt srs.txt"), 1,
         "\n Error: the input /dev/zero is not a regular file", "Enter output filename", nothing},
        {"ResultOnAFullDisk", in_good, answers(usual, "in.txt sat.txt /dev/full srs.txt"), 1,
         "\n Error: the corrected-signal file /dev/full could not be written in full (No space left on device)", "",
         {"sat.txt", "srs.txt", "temp_file.out"}, true},
        {"ResultInMissingFolder", in_good, answers(usual, "in.txt sat.txt nodir/sig.txt srs.txt"), 1,
         "cannot create the corrected-signal file nodir/sig.txt: its folder does not exist", "", nothing},
        {"ResultUnderARegularFile", in_good, answers(usual, "in.txt sat.txt sig.txt old.txt/srs.txt"), 1,
         "cannot create the SRS file old.txt/srs.txt: its folder does not exist", "", nothing},
        {"ResultIsAFolder", in_good, answers(usual, "in.txt sub sig.txt srs.txt"), 1,
         "the saturation name sub is a folder", "", nothing},
        {"ResultIsTheInput", in_good, answers(usual, "in.txt in.txt sig.txt srs.txt"), 1, refused_name, "", nothing},
        {"ResultIsTheInputByAnotherPath", in_good, answers(usual, "in.txt sat.txt ./in.txt srs.txt"), 1, refused_name,
         "", nothing},
        {"TwoResultsTheSame", in_good, answers(usual, "in.txt sat.txt sat.txt srs.txt"), 1, refused_name, "", nothing},
        {"NewResultTwiceByAnotherPath", in_good, answers(usual, "in.txt sat.txt sig.txt ./sat.txt"), 1, refused_name,
         "", nothing},
        {"ExistingResultTwice", in_good, answers(usual, "in.txt old.txt sig.txt old.txt"), 1, refused_name, "",
         nothing},
        {"ResultIsTheScratchFile", in_good, answers(usual, "in.txt sat.txt temp_file.out srs.txt"), 1,
         "the scratch name temp_file.out " + std::string(refused_name), "", nothing},
        {"Name259", in_good, answers(usual, "in.txt sat.txt " + name259 + " srs.txt"), 0, "\n Output Files: \n\n",
         "", {"sat.txt", name259, "srs.txt", "temp_file.out"}},
        {"InputName260", in_good, answers(usual, name260 + " sat.txt sig.txt srs.txt"), 1,
         "\n Error: a file name is longer than 259 characters", "Enter output filename", nothing},
        {"ResultName260", in_good, answers(usual, "in.txt sat.txt " + name260 + " srs.txt"), 1,
         "\n Error: a file name is longer than 259 characters", "", nothing},
        {"ResultName300", in_good, answers(usual, "in.txt sat.txt sig.txt " + name300), 1,
         "\n Error: a file name is longer than 259 characters", "", nothing},
        {"NameWithAZeroByte", in_good, answers(usual, std::string("in.txt sat.txt old.txt\0x srs.txt", 32)), 1,
         "a file name holds a zero byte", "", nothing},

        // end of the answers at every prompt
        {"EndAtInputName", in_good, "", 1, " Failed to open file:  \n", "Enter output filename", nothing},
        {"EndAtSaturationName", in_good, "in.txt\n", 1, "the answers ended before the saturation file name", "",
         nothing},
        {"EndAtSignalName", in_good, "in.txt sat.txt\n", 1, "the answers ended before the corrected-signal file name",
         "", nothing},
        {"EndAtSrsName", in_good, "in.txt sat.txt sig.txt\n", 1, "the answers ended before the SRS file name", "",
         nothing},
        {"EndAtTrials", in_good, answers(""), 0, "\n log-log slope =        0 \n", "pass = ", results},
        {"EndAtPasses", in_good, answers("5\n"), 0, "\n log-log slope =        0 \n", "pass = ", results},
        {"EndAtArbitraryInteger", in_good, answers("5\n1\n"), 0, "\n pass = 1 \n", "", results},
        {"EndAtMaxPoints", in_good, answers("5\n1\n7\n"), 0, "\n pass = 1 \n", "", results},
        {"EndAtSlope", in_good, answers("5\n1\n7\n40\n"), 0, "\n log-log slope =        0 \n", "", results},
        {"EndAtEndingFrequency", in_good, answers("5\n1\n7\n40\n6\n"), 0, "\n Output Files: \n\n", "", results},
        {"EndAtAmplitude", in_good, answers("5\n1\n7\n40\n6\n100\n"), 0, "\n Output Files: \n\n", "", results},

        // a word at each numeric prompt: that prompt and every later one keep their field
        {"WordAtTrials", in_good, answers("many\n1\n7\n40\n6\n100\n85\n"), 0, "\n log-log slope =        0 \n",
         "pass = ", results},
        {"WordAtPasses", in_good, answers("5\nmany\n7\n40\n6\n100\n85\n"), 0, "\n log-log slope =        0 \n",
         "pass = ", results},
        {"WordAtArbitraryInteger", in_good, answers("5\n1\nany\n40\n6\n100\n85\n"), 0, "\n pass = 1 \n", "", results},
        {"WordAtMaxPoints", in_good, answers("5\n1\n7\nmost\n6\n100\n85\n"), 0, "\n log-log slope =        0 \n", "",
         results},
        {"WordAtSlope", in_good, answers("5\n1\n7\n40\nsteep\n100\n85\n"), 0, "\n log-log slope =        0 \n", "",
         results},
        {"WordAtEndingFrequency", in_good, answers("5\n1\n7\n40\n6\nhigh\n85\n"), 0, "\n Output Files: \n\n", "",
         results},
        {"WordAtAmplitude", in_good, answers("5\n1\n7\n40\n6\n100\nbig\n"), 0, "\n Output Files: \n\n", "", results},

        // huge, negative and overflowing numbers at each numeric prompt
        {"HugeTrialsNoPass", in_good, answers("99999999999999999999\n0\n7\n40\n6\n100\n85\n"), 0,
         "\n Output Files: \n\n", "pass = ", results},
        {"NegativeTrials", in_good, answers("-5\n1\n7\n40\n6\n100\n85\n"), 0, "\n  c1=", " 0  ", results},
        {"OverflowingNegativeTrials", in_good, answers("-99999999999999999999\n1\n7\n40\n6\n100\n85\n"), 0,
         "\n  c1=", " 0  ", results},
        {"NegativePasses", in_good, answers("5\n-3\n7\n40\n6\n100\n85\n"), 0, "\n Output Files: \n\n", "pass = ",
         results},
        {"OverflowingNegativePasses", in_good, answers("5\n-99999999999999999999\n7\n40\n6\n100\n85\n"), 0,
         "\n Output Files: \n\n", "pass = ", results},
        {"ArbitraryInteger2147483647", in_good, answers("5\n1\n2147483647\n40\n6\n100\n85\n"), 0,
         "\n Output Files: \n\n", "", results},
        {"OverflowingArbitraryInteger", in_good, answers("5\n1\n99999999999999999999\n40\n6\n100\n85\n"), 0,
         "\n Output Files: \n\n", "", results},
        {"NegativeArbitraryInteger", in_good, answers("5\n1\n-99999999999999999999\n40\n6\n100\n85\n"), 0,
         "\n Output Files: \n\n", "", results},
        {"MaxPoints5000", in_good, answers("5\n1\n7\n5000\n6\n100\n85\n"), 0,
         "\n Enter the maximum number of points for curve-fit\n\n max_pts above 1000 lowered to 1000 \n", "", results},
        {"OverflowingMaxPoints", in_good, answers("5\n1\n7\n99999999999999999999\n6\n100\n85\n"), 0,
         "\n max_pts above 1000 lowered to 1000 \n", "", results},
        {"NegativeMaxPoints", in_good, answers("5\n1\n7\n-99999999999999999999\n6\n100\n85\n"), 0,
         "\n Output Files: \n\n", "lowered", results},
        {"HugeSlope", in_good, answers("5\n1\n7\n40\n1e308\n100\n85\n"), 1,
         "\n Error: the slope goal is not a usable number", "log-log slope", nothing},
        {"HugeNegativeSlope", in_good, answers("5\n1\n7\n40\n-1e308\n100\n85\n"), 1,
         "\n Error: the slope goal is not a usable number", "log-log slope", nothing},
        {"OverflowingSlope", in_good, answers("5\n1\n7\n40\n1e999\n100\n85\n"), 1,
         "\n Error: the slope goal is not a usable number", "log-log slope", nothing},
        {"NotANumberSlope", in_good, answers("5\n1\n7\n40\nnan\n100\n85\n"), 1,
         "\n Error: the slope goal is not a usable number", "log-log slope", nothing},
        {"OverflowingEndingFrequency", in_good, answers("5\n1\n7\n40\n6\n1e999\n85\n"), 1,
         "\n Error: the ending frequency is not a usable number", "", nothing},
        {"NegativeEndingFrequency", in_good, answers("5\n1\n7\n40\n6\n-100\n85\n"), 0, "\n Output Files: \n\n", "",
         results},
        {"OverflowingAmplitude", in_good, answers("5\n1\n7\n40\n6\n100\n-1e999\n"), 1,
         "\n Error: the amplitude is not a usable number", "", nothing},
        {"HugeAmplitude", in_good, answers("5\n1\n7\n40\n6\n100\n1e300\n"), 0, "\n Output Files: \n\n", "", results},

        // records
        {"EmptyRecord", in_empty, answers(usual), 1, "\n n = 0 \n\n Error: the record holds 0 samples", "Enter the number",
         nothing},
        {"OneSample", in_1, answers(usual), 1, "\n Error: the record holds 1 samples", "Enter the number", nothing},
        {"TwoSamples", in_2, answers(usual), 1, "\n Error: the record holds 2 samples", "Enter the number", nothing},
        {"SixSamples", in_6, answers(usual), 1, "\n Error: the record holds 6 samples", "Enter the number", nothing},
        {"RefusedRecordKeepsAnEarlierResult", in_6, answers(usual, "in.txt old.txt sig.txt srs.txt"), 1,
         "\n Error: the record holds 6 samples", "Enter the number", nothing},
        {"TimesFall", in_falling, answers(usual), 1, "\n Error: the sample interval is not a positive number",
         "Enter the number", nothing},
        {"TimesRepeat", in_repeating, answers(usual), 1, "\n Error: the sample interval is not a positive number",
         "Enter the number", nothing},
        {"TimesUnevenButRising", in_uneven, answers(usual), 0, "\n Output Files: \n\n", "", results},
        {"EndsBeforeZero", in_before_zero, answers(usual), 1, "before time zero", "pass = ", nothing},
        {"EndsBeforeZeroNoSearch", in_before_zero, answers("0\n1\n7\n40\n6\n100\n85\n"), 0, "\n Output Files: \n\n",
         "", results},
        {"TailBeyond32Bits", in_tiny_step, answers(usual), 1, "is too small to compute a spectrum", "Enter the number",
         nothing},
        {"AmplitudeOverflows", in_amp_overflow, answers(usual), 1,
         "\n Error: sample 61 of the record holds a number too large to use (0.01, inf)", "Enter the number", nothing},
        {"AmplitudeOverflowsNegative", in_neg_overflow, answers(usual), 1,
         "\n Error: sample 61 of the record holds a number too large to use (0.01, -inf)", "Enter the number",
         nothing},
        {"TimeOverflows", in_time_overflow, answers(usual), 1, "\n Error: sample 61 of the record holds a number",
         "Enter the number", nothing},
        {"AmplitudeTripsTheFilterGuard", in_huge_amp, answers(usual), 1, "\n Error:  i=60 \n", "pass = ", results},
        {"BinaryFile", in_binary, answers(usual), 1, "\n Error: the record holds 0 samples", "Enter the number",
         nothing},
        {"MillionAndOneLines", in_million_and_one, answers("0\n0\n7\n40\n6\n100\n85\n"), 0, "\n n = 1000000 \n", "",
         results},
        {"LinesLongerThan299Bytes", in_long_lines, answers(usual), 0,
         "\n 3 header lines detected \n\n", "", results},
        {"CrlfLineEndings", in_crlf, answers(usual), 0, "\n n = 200 \n", "", results},
    };
}

// Every file and folder under `dir` (relative names, folders ending in '/'), with content.
void list_tree(const std::string& dir, const std::string& prefix, std::map<std::string, std::string>& out)
{
    DIR* d = opendir((dir + "/" + prefix).c_str());
    if (!d) return;
    while (const dirent* e = readdir(d)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        const std::string rel = prefix + name;
        struct stat st;
        if (stat((dir + "/" + rel).c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
            out[rel + "/"] = "";
            list_tree(dir, rel + "/", out);
        } else {
            out[rel] = read_file(dir + "/" + rel);
        }
    }
    closedir(d);
}

class BadInputs : public ::testing::TestWithParam<BadCase> {};

TEST_P(BadInputs, EndsAsItShouldAndTouchesNothingElse)
{
    const BadCase& c = GetParam();
    const std::string dir = make_temp_dir();
    write_file(dir + "/in.txt", c.input());
    write_file(dir + "/old.txt", "an earlier result\n");
    ASSERT_EQ(mkdir((dir + "/sub").c_str(), 0755), 0);
    std::map<std::string, std::string> before;
    list_tree(dir, "", before);

    const ProgramRun run = run_program_in(dir, c.answers, 120);

    EXPECT_EQ(run.status, c.status) << run.output.substr(run.output.size() > 3000 ? run.output.size() - 3000 : 0);
    EXPECT_NE(run.output.find(c.message), std::string::npos) << "expected: " << c.message;
    if (!c.absent.empty()) {
        EXPECT_EQ(run.output.find(c.absent), std::string::npos) << "unexpected: " << c.absent;
    }
    if (c.status != 0 && c.message.find(" i=") == std::string::npos) {
        // A refused run ends with its one error line.
        const std::size_t last = run.output.rfind("\n Error: ");
        ASSERT_NE(last, std::string::npos);
        const std::string tail = run.output.substr(last + 1);
        EXPECT_EQ(std::count(tail.begin(), tail.end(), '\n'), 1) << tail;
        EXPECT_EQ(tail.substr(tail.size() - 2), " \n") << tail;
    }

    std::map<std::string, std::string> after;
    list_tree(dir, "", after);
    for (const auto& entry : before) {
        const bool may_change =
            std::find(c.may_write.begin(), c.may_write.end(), entry.first) != c.may_write.end();
        ASSERT_TRUE(after.count(entry.first)) << entry.first << " was removed";
        if (!may_change) {
            EXPECT_EQ(after[entry.first], entry.second) << entry.first << " was changed";
        }
    }
    for (const auto& entry : after) {
        if (before.count(entry.first)) continue;
        EXPECT_NE(std::find(c.may_write.begin(), c.may_write.end(), entry.first), c.may_write.end())
            << entry.first << " was created";
        if (c.status != 0 && !c.stops_after_writing) {
            EXPECT_EQ(entry.second, "") << entry.first << " was written by a refused run";
        }
    }
    if (c.status == 0) {
        for (const std::string& name : c.may_write) EXPECT_TRUE(after.count(name)) << name << " missing";
    }
    remove_tree(dir);
}

INSTANTIATE_TEST_SUITE_P(Table, BadInputs, ::testing::ValuesIn(bad_cases()),
                         [](const ::testing::TestParamInfo<BadCase>& info) { return std::string(info.param.id); });

// Permissions do not stop root, so these run only for other users. A folder or file that
// cannot be written is found before any result file is made.
TEST(BadInputsAsUser, ResultInAReadOnlyFolderOrFile)
{
    if (geteuid() == 0) GTEST_SKIP() << "root may write to any folder";
    struct Case {
        const char* names;
        const char* message;
    };
    const Case cases[] = {
        {"in.txt sat.txt ro/sig.txt srs.txt", "\n Error: cannot create the corrected-signal file ro/sig.txt: Permission denied"},
        {"in.txt sat.txt sig.txt locked.txt", "\n Error: cannot write the SRS file locked.txt: Permission denied"},
    };
    for (const Case& c : cases) {
        const std::string dir = make_temp_dir();
        write_file(dir + "/in.txt", good_record());
        write_file(dir + "/locked.txt", "kept\n");
        ASSERT_EQ(chmod((dir + "/locked.txt").c_str(), 0444), 0);
        ASSERT_EQ(mkdir((dir + "/ro").c_str(), 0555), 0);
        const ProgramRun run = run_program_in(dir, answers(usual, c.names), 60);
        EXPECT_EQ(run.status, 1) << c.names;
        EXPECT_NE(run.output.find(c.message), std::string::npos) << run.output;
        EXPECT_FALSE(file_exists(dir + "/sat.txt")) << c.names;
        EXPECT_FALSE(file_exists(dir + "/temp_file.out")) << c.names;
        EXPECT_EQ(read_file(dir + "/locked.txt"), "kept\n");
        EXPECT_EQ(read_file(dir + "/in.txt"), good_record());
        chmod((dir + "/ro").c_str(), 0755);
        remove_tree(dir);
    }
}

}  // namespace
