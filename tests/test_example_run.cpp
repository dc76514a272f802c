#include <gtest/gtest.h>

#include <algorithm>

#include "program_runner.h"

static long count_lines(const std::string& text)
{
    return static_cast<long>(std::count(text.begin(), text.end(), '\n'));
}

// The README's first command, as a test: the shipped example runs from end to end.
TEST(ExampleRun, WritesTheThreeFilesAndEndsWithoutATerminal)
{
    const TempFolder folder;
    const std::string& dir = folder.path;
    write_file(dir + "/shock.txt", read_file(example_path("shock.txt")));
    const ProgramRun run =
        run_program_in(dir, "shock.txt sat.txt sig.txt srs.txt\n50\n1\n7\n40\n6\n100\n85\n");
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("\n 2 header lines detected \n\n"), std::string::npos);
    EXPECT_NE(run.output.find("\n n = 7501 \n"), std::string::npos);
    EXPECT_NE(run.output.find("\n\n Press any key to exit.\n"), std::string::npos);
    EXPECT_EQ(count_lines(read_file(dir + "/sat.txt")), 7501);
    EXPECT_EQ(count_lines(read_file(dir + "/sig.txt")), 7501);
    EXPECT_EQ(count_lines(read_file(dir + "/srs.txt")), 66);
    EXPECT_TRUE(file_exists(dir + "/temp_file.out"));
    EXPECT_EQ(read_file(dir + "/temp_file.out"), "");
}
