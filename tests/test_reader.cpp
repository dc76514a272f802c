// Header detection, sample reading and the record checks, on in-memory input files.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "input/reader.h"
#include "run/state.h"
#include "state_helpers.h"

namespace {

struct Read {
    std::unique_ptr<RunState> s;
    std::string console;
};

// Runs header detection and sample reading on a file holding `content`.
Read read_record(const std::string& content)
{
    Read r{make_run_state(), {}};
    FILE* in = std::tmpfile();
    std::fwrite(content.data(), 1, content.size(), in);
    std::rewind(in);
    ConsoleCapture console;
    r.s->in = in;
    r.s->con = console.stream;
    count_header_lines(*r.s);
    read_samples(*r.s);
    std::fclose(in);
    r.console = console.text();
    r.s->in = nullptr;
    r.s->con = nullptr;
    return r;
}

std::string header_report(long count) { return "\n " + std::to_string(count) + " header lines detected \n\n"; }

}  // namespace

TEST(HeaderLine, LinesJudgedByTheirCharacters)
{
    const struct {
        const char* line;
        bool header;
    } cases[] = {
        {"0.001 0.5\n", false},
        {"-0.02, -1.5e-3\r\n", false},
        {"1.0e-03, 2.5E+01\n", false},
        {"1.0E-03 2.5E+01\n", false},
        {"1e+5 2e+5 3e5\n", false},       // one e+ excuses every small e of the line
        {"1E-5 2E3\n", false},            // one E- excuses every capital E
        {"1.0e3 2.5\n", true},            // a small e without a sign counts
        {"1.0D+00 2.0\n", true},
        {"1.0E3 2.0e+01\n", true},        // the small e's sign does not excuse the capital E
        {"1.0e3 2.0E+01\n", true},        // nor the other way round
        {"E+\n", false},
        {"e-\n", false},
        {"E\n", true},
        {"e\n", true},
        {"time(sec)  accel(G)\n", true},
        {"---------------\n", false},
        {"12:30:45\n", false},
        {"()[]{}:\"'_~\\|+-.,\t \r\n", false},
        {"\xc3\xa9\xb5\xff\x80\n", false},  // bytes above 127
        {"\n", false},
        {"\r\n", false},
        {"", false},
        {"0.5 0.25 ; comment\n", true},
        {"# x y\n", true},
        {"0.1 0.2 <- peak\n", true},
        {"a\n", true},
        {"Z\n", true},
        {"1/2\n", true},
    };
    for (const auto& c : cases) EXPECT_EQ(is_header_line(c.line), c.header) << "line [" << c.line << "]";
}

// Exactly 66 single bytes mark a header line: the letters and ! @ # $ % ^ & * / > < ? = ;
TEST(HeaderLine, TheSixtySixHeaderCharacters)
{
    const std::string marks = "!@#$%^&*/><?=;";
    int count = 0;
    for (int c = 1; c < 256; ++c) {
        const char line[] = {static_cast<char>(c), '\n', '\0'};
        const bool expected = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || marks.find(static_cast<char>(c)) != std::string::npos;
        EXPECT_EQ(is_header_line(line), expected) << "byte " << c;
        if (is_header_line(line)) ++count;
    }
    EXPECT_EQ(count, 66);
}

TEST(BlankLine, OnlyBlanksTabsAndALineEnding)
{
    const struct {
        const char* line;
        bool blank;
    } cases[] = {
        {"\n", true}, {"\r\n", true}, {"  \t \n", true}, {" \t\r\n", true}, {"   ", true}, {"", true},
        {"0\n", false}, {" .\n", false}, {" ,\n", false}, {"-\n", false}, {"\v\n", false}, {"\f\n", false},
        {" \r \n", false},
    };
    for (const auto& c : cases) EXPECT_EQ(is_blank_line(c.line), c.blank) << "line [" << c.line << "]";
}

TEST(Reader, TitleLineIsEchoedAndSamplesFollowIt)
{
    const Read r = read_record("time(sec)  accel(G)\n0 1.5\n0.001 -2.5\n0.002 3\n0.003 0.25\n");
    EXPECT_EQ(r.console, header_report(1) + " time(sec)  accel(G)\n " +
                             "\n R2 xone =        0  xa[0]=       0 \n\n delta t = 0.001000 \n n = 4 \n");
    EXPECT_EQ(r.s->n, 4);
    EXPECT_EQ(r.s->amp[0], 1.5);
    EXPECT_EQ(r.s->amp[1], -2.5);
    EXPECT_EQ(r.s->xa[3], 0.003);
    EXPECT_EQ(r.s->amp_base[3], 0.25);
    EXPECT_EQ(r.s->t_last, 0.003);
    EXPECT_EQ(r.s->xone, 0.0);
    EXPECT_EQ(r.s->dt, (0.003 - 0.0) / 3.0);
    EXPECT_EQ(r.s->sr, 1 / r.s->dt);
    EXPECT_NEAR(r.s->sr, 1000.0, 1e-9);
}

// The header is every line up to the last one holding a header character, whatever
// the lines above it hold; the echo keeps each line's own ending, CR included.
TEST(Reader, HeaderEndsAtTheLastMarkedLine)
{
    const std::string text = "Test record\r\n0 1\r\n0.5 2\r\n; calibrated\r\n1 3\r\n2 4\r\n";
    const Read r = read_record(text);
    EXPECT_EQ(r.console.substr(0, r.console.find("\n R2")),
              header_report(4) + " Test record\r\n  0 1\r\n  0.5 2\r\n  ; calibrated\r\n ");
    EXPECT_EQ(r.s->n, 2);
    EXPECT_EQ(r.s->xa[0], 1.0);
    EXPECT_EQ(r.s->amp[1], 4.0);
    EXPECT_EQ(r.s->dt, 1.0);
}

TEST(Reader, NoHeaderEchoesNothing)
{
    const Read r = read_record("-0.5 1\n0 2\n0.5 3\n");
    EXPECT_EQ(r.console.substr(0, r.console.find("\n R2")), header_report(0));
    EXPECT_EQ(r.s->n, 3);
    EXPECT_EQ(r.s->xone, -0.5);
    EXPECT_EQ(r.console.substr(r.console.find("\n R2")),
              "\n R2 xone =     -0.5  xa[0]=    -0.5 \n\n delta t = 0.500000 \n n = 3 \n");
}

// A 350-letter title is read as a line of 299 bytes and one of 52: two header lines.
TEST(Reader, LongTitleCountsAsTwoHeaderLines)
{
    const std::string title(350, 'T');
    const Read r = read_record(title + "\n0 1\n1 2\n");
    EXPECT_EQ(r.console.substr(0, r.console.find("\n R2")),
              header_report(2) + " " + title.substr(0, 299) + "  " + title.substr(299) + "\n ");
    EXPECT_EQ(r.s->n, 2);
    EXPECT_EQ(r.s->amp[0], 1.0);
}

// Where the cut falls: a line is one read while it holds at most 299 bytes with its
// line feed. The line feed left over by a cut is a blank line and gives no sample.
TEST(Reader, LongLineBoundaries)
{
    const struct {
        std::size_t letters;
        long headers;
    } cases[] = {{298, 1}, {299, 1}, {300, 2}, {598, 2}, {599, 3}};
    for (const auto& c : cases) {
        const std::string title(c.letters, 'h');
        const Read r = read_record(title + "\n0 1\n1 2\n");
        EXPECT_EQ(r.console.substr(0, r.console.find("\n R2")).find(header_report(c.headers)), 0u) << c.letters;
        EXPECT_EQ(r.s->n, 2) << c.letters;
        EXPECT_EQ(r.s->xa[0], 0.0) << c.letters;
        EXPECT_EQ(r.s->dt, 1.0) << c.letters;
    }
    // a sample line of 299 characters and its line feed: one sample, the line feed skipped
    const std::string line = "0.5" + std::string(292, ' ') + "0.25";
    ASSERT_EQ(line.size(), 299u);
    const Read r = read_record("0 1\n" + line + "\n1 2\n");
    EXPECT_EQ(r.s->n, 3);
    EXPECT_EQ(r.s->xa[1], 0.5);
    EXPECT_EQ(r.s->amp[1], 0.25);
    EXPECT_EQ(r.s->xa[2], 1.0);
}

// Both passes cut a long line the same way: a letter after byte 299 marks the second
// piece, and the echo stops exactly after it.
TEST(Reader, LongLineIsCutTheSameWayInBothPasses)
{
    const std::string first = "0.5" + std::string(296, ' ');  // 299 bytes, no header character
    const Read r = read_record(first + "x\n7 8\n9 10\n");
    EXPECT_EQ(r.console.substr(0, r.console.find("\n R2")), header_report(2) + " " + first + "  x\n ");
    EXPECT_EQ(r.s->n, 2);
    EXPECT_EQ(r.s->xa[0], 7.0);
    EXPECT_EQ(r.s->amp[1], 10.0);
}

// A sample line over 299 bytes gives two samples; the second piece holds only one number.
TEST(Reader, LongSampleLineGivesTwoSamples)
{
    const std::string line = "1.5" + std::string(296, ' ') + "  2.5\n";
    const Read r = read_record("1 0.25\n" + line + "3 4\n");
    EXPECT_EQ(r.s->n, 4);
    EXPECT_EQ(r.s->xa[1], 1.5);
    EXPECT_EQ(r.s->amp[1], 0.0);
    EXPECT_EQ(r.s->xa[2], 2.5);
    EXPECT_EQ(r.s->amp[2], 0.0);
    EXPECT_EQ(r.s->xa[3], 3.0);
}

// One record holding every form, one sample per line: each line is parsed on its own.
TEST(Reader, SampleLineForms)
{
    const struct {
        const char* line;
        double time, amp;
    } cases[] = {
        {"0.001,0.5\n", 0.001, 0.5},
        {"0.001, 0.5\n", 0.001, 0.5},
        {"0.001,\t 0.5\n", 0.001, 0.5},
        {"0.001\t0.5\n", 0.001, 0.5},
        {"  \t0.001   0.5\n", 0.001, 0.5},
        {"0.001 0.5 99 -- ::\n", 0.001, 0.5},
        {"0.001 0.5\r\n", 0.001, 0.5},
        {"0.001,0.5\r\n", 0.001, 0.5},
        {"1.0e-03, 2.5E+01\n", 0.001, 25.0},
        {"+1E-3 -.5\n", 0.001, -0.5},
        {"0.001 ,0.5\n", 0.001, 0.0},     // blank before the comma: amplitude 0
        {"0.001\t,0.5\n", 0.001, 0.0},
        {"0.001 0.5 ,\n", 0.001, 0.0},    // a comma anywhere selects the comma form
        {"0.001\n", 0.001, 0.0},          // one number: the amplitude keeps its zero
        {"--\n", 0.0, 0.0},               // no number: still a sample
        {",\n", 0.0, 0.0},
        {"0.002 0.75", 0.002, 0.75},      // last line without a line ending
    };
    std::string text;
    for (const auto& c : cases) text += c.line;
    const Read r = read_record(text);
    const long count = static_cast<long>(sizeof cases / sizeof cases[0]);
    ASSERT_EQ(r.s->n, count);
    for (long k = 0; k < count; ++k) {
        EXPECT_EQ(r.s->xa[k], cases[k].time) << "line [" << cases[k].line << "]";
        EXPECT_EQ(r.s->amp[k], cases[k].amp) << "line [" << cases[k].line << "]";
        EXPECT_EQ(r.s->amp_base[k], cases[k].amp) << "line [" << cases[k].line << "]";
    }
    EXPECT_EQ(r.s->t_last, 0.002);
}

// A line yielding fewer than two numbers counts as a sample in the middle of a record.
TEST(Reader, ShortLinesStillCountAsSamples)
{
    const Read r = read_record("0 1\n0.001\n:\n0.003 4\n");
    EXPECT_EQ(r.s->n, 4);
    EXPECT_EQ(r.s->xa[1], 0.001);
    EXPECT_EQ(r.s->amp[1], 0.0);
    EXPECT_EQ(r.s->xa[2], 0.0);
    EXPECT_EQ(r.s->amp[2], 0.0);
    EXPECT_EQ(r.s->t_last, 0.003);
    EXPECT_EQ(r.s->dt, 0.003 / 3.0);
}

// Blank lines after the header give no sample, wherever they are: a blank last line
// does not pull the last time back to 0.
TEST(Reader, BlankLinesAfterTheHeaderAreSkipped)
{
    const std::string plain = "t a\n0 1\n0.001 2\n0.002 3\n0.003 4\n";
    const std::string with_blanks = "t a\n\n0 1\n  \t\r\n0.001 2\n\n0.002 3\n0.003 4\n\n \t \n\r\n" +
                                    std::string(400, ' ') + "\n   ";
    const Read a = read_record(plain);
    const Read b = read_record(with_blanks);
    EXPECT_EQ(b.s->n, 4);
    EXPECT_EQ(b.s->t_last, 0.003);
    EXPECT_EQ(b.s->dt, a.s->dt);
    EXPECT_EQ(b.console, a.console);
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(b.s->xa[k], a.s->xa[k]);
        EXPECT_EQ(b.s->amp[k], a.s->amp[k]);
    }
}

// Blank lines inside the header are header lines like any other and are echoed.
TEST(Reader, BlankLineInsideTheHeaderIsEchoed)
{
    const Read r = read_record("title\n\nunits\n0 1\n1 2\n");
    EXPECT_EQ(r.console.substr(0, r.console.find("\n R2")), header_report(3) + " title\n  \n  units\n ");
    EXPECT_EQ(r.s->n, 2);
}

TEST(Reader, AtMostAMillionSamples)
{
    std::string text = "time amplitude\n";
    text.reserve(16 * 1000001);
    char line[40];
    for (long k = 0; k <= 1000000; ++k) {
        std::snprintf(line, sizeof line, "%ld %ld\n", k, k % 7);
        text += line;
    }
    const Read r = read_record(text);
    EXPECT_EQ(r.s->n, 1000000);
    EXPECT_EQ(r.s->t_last, 999999.0);
    EXPECT_EQ(r.s->xa[999999], 999999.0);
    EXPECT_EQ(r.s->amp[999999], 999999 % 7);
    EXPECT_EQ(r.s->dt, 1.0);
    EXPECT_NE(r.console.find("\n delta t = 1.000000 \n n = 1000000 \n"), std::string::npos);
}

// Records that later stages cannot use are refused with one error line and status 1.
TEST(RecordCheckDeathTest, UnusableRecordsAreRefused)
{
    const struct {
        long n;
        double dt;
        const char* what;
    } cases[] = {
        {0, NAN, "samples"},
        {1, NAN, "samples"},
        {6, 0.001, "holds 6 samples"},
        {7, 0.0, "sample interval"},
        {7, -0.001, "sample interval"},
        {100, NAN, "sample interval"},
        {100, INFINITY, "sample interval"},
        {100, -INFINITY, "sample interval"},
    };
    for (const auto& c : cases) {
        EXPECT_EXIT(
            {
                auto s = make_run_state();
                s->con = stderr;
                s->n = c.n;
                s->dt = c.dt;
                check_record(*s);
                std::exit(0);
            },
            ::testing::ExitedWithCode(1), std::string("\n Error: [^\n]*") + c.what + "[^\n]* \n$")
            << "n " << c.n << ", dt " << c.dt;
    }
}

TEST(RecordCheck, SevenSamplesWithAPositiveIntervalPass)
{
    auto s = make_run_state();
    s->n = 7;
    s->dt = 1e-6;
    check_record(*s);  // returns
    s->n = 1000000;
    s->dt = 1.0;
    check_record(*s);
    SUCCEED();
}
