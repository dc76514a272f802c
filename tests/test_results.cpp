#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "program_runner.h"
#include "results/results.h"
#include "run/state.h"
#include "spectrum/filter_bank.h"
#include "spectrum/spectrum.h"
#include "state_helpers.h"

static std::vector<std::string> lines_of(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line + "\n");
    return lines;
}

TEST(ResultFiles, TimeValueLine)
{
    ConsoleCapture out;
    write_time_value(out.stream, 0.001, -2.5);
    write_time_value(out.stream, -0.02, 1234567.891);
    EXPECT_EQ(out.text(),
              " 1.0000000e-03 \t -2.5000000e+00 \n"
              "-2.0000000e-02 \t  1.2345679e+06 \n");
}

TEST(ResultFiles, SpectrumLine)
{
    RunState& s = fresh_state();
    s.dt = 0.001;
    fill_filter_bank(s);
    s.srs_pos[13] = 1.5;
    s.srs_neg[13] = -2.25;
    s.srs_pos[78] = 123456;
    s.srs_neg[78] = 0.0;
    ConsoleCapture out;
    write_spectrum_line(out.stream, s, 13);
    write_spectrum_line(out.stream, s, 78);
    EXPECT_EQ(out.text(),
              "           10 \t      1.5 \t     2.25 \n"
              "        17889 \t 1.235e+05 \t        0 \n");
}

// write_results on a small record: the two time files line by line, the spectrum of amp
// (not of the curve) from 10 Hz to f[78] whatever the sample rate, and the report.
TEST(ResultFiles, WriteResultsWritesTheThreeFilesAndListsThem)
{
    RunState& s = fresh_state();
    make_record_decimal(s, -2, 1000.0, 8, nullptr);
    const double amp[8] = {0.5, -1, 2, 40, -30, 10, 0, 0.25};
    for (long i = 0; i < 8; ++i) {
        s.amp[i] = amp[i];
        s.best_curve[i] = 0.125 * i;
    }
    fill_filter_bank(s);
    std::strcpy(s.sat_name, "sat.txt");
    std::strcpy(s.sig_name, "corrected signal.txt");
    std::strcpy(s.srs_name, "srs.txt");
    ConsoleCapture con, sat, sig, srs;
    s.con = con.stream;
    s.sat_out = sat.stream;
    s.sig_out = sig.stream;
    s.srs_out = srs.stream;
    write_results(s);

    EXPECT_EQ(con.text(),
              "\n ref 1 \n\n ref 2 \n\n ref 3 \n\n\n Output Files: \n\n"
              " sat.txt \n corrected signal.txt \n srs.txt \n");

    const std::vector<std::string> sat_lines = lines_of(sat.text());
    const std::vector<std::string> sig_lines = lines_of(sig.text());
    ASSERT_EQ(sat_lines.size(), 8u);
    ASSERT_EQ(sig_lines.size(), 8u);
    EXPECT_EQ(sat_lines[0], "-2.0000000e-03 \t  0.0000000e+00 \n");
    EXPECT_EQ(sat_lines[5], " 3.0000000e-03 \t  6.2500000e-01 \n");
    EXPECT_EQ(sig_lines[0], "-2.0000000e-03 \t  5.0000000e-01 \n");
    EXPECT_EQ(sig_lines[3], " 1.0000000e-03 \t  4.0000000e+01 \n");

    const std::vector<std::string> srs_lines = lines_of(srs.text());
    ASSERT_EQ(srs_lines.size(), 66u);
    // The peaks are those of amp, which the final run left in srs_pos/srs_neg.
    double written_pos[max_freqs];
    std::copy(s.srs_pos, s.srs_pos + max_freqs, written_pos);
    run_signal_spectrum(s);
    for (int j = 13; j <= 78; ++j) {
        ConsoleCapture line;
        write_spectrum_line(line.stream, s, j);
        EXPECT_EQ(srs_lines[j - 13], line.text()) << j;
        EXPECT_EQ(written_pos[j], s.srs_pos[j]) << j;
    }
    EXPECT_EQ(srs_lines.front().substr(0, 15), "           10 \t");
    EXPECT_EQ(srs_lines.back().substr(0, 15), "        17889 \t");
    EXPECT_NE(s.srs_pos[40], 0.0);
}

// End to end with no pass: a saturation file of zeros, the input unchanged and the
// spectrum of the input, 66 lines at a sample rate of 1 kHz too.
TEST(ResultFiles, RunWithoutPassesWritesTheInputAndAZeroCurve)
{
    const TempFolder folder;
    const std::string& dir = folder.path;
    std::string input = "time  accel\n";
    for (int i = 0; i < 20; ++i) input += std::to_string(i - 5) + "e-3  " + std::to_string(i % 7 - 2.5) + "\n";
    write_file(dir + "/in.txt", input);
    const ProgramRun run = run_program_in(dir, "in.txt sat.txt sig.txt srs.txt\n10\n0\n7\n22\n6\n100\n85\n");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(run.output.find("pass ="), std::string::npos);
    EXPECT_NE(run.output.find("\n\n Output Files: \n\n sat.txt \n sig.txt \n srs.txt \n"), std::string::npos);

    const std::vector<std::string> sat = lines_of(read_file(dir + "/sat.txt"));
    const std::vector<std::string> sig = lines_of(read_file(dir + "/sig.txt"));
    ASSERT_EQ(sat.size(), 20u);
    ASSERT_EQ(sig.size(), 20u);
    EXPECT_EQ(sat[0], "-5.0000000e-03 \t  0.0000000e+00 \n");
    EXPECT_EQ(sig[0], "-5.0000000e-03 \t -2.5000000e+00 \n");
    EXPECT_EQ(sig[6], " 1.0000000e-03 \t  3.5000000e+00 \n");
    for (const std::string& line : sat) EXPECT_EQ(line.substr(14), " \t  0.0000000e+00 \n");
    const std::vector<std::string> srs = lines_of(read_file(dir + "/srs.txt"));
    ASSERT_EQ(srs.size(), 66u);
    EXPECT_EQ(srs.front().substr(0, 15), "           10 \t");
    EXPECT_EQ(srs.back().substr(0, 15), "        17889 \t");
}
