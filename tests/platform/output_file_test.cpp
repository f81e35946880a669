// The output files: what a commit and an abort leave in the folder.
#include "platform/platform.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <set>
#include <string>

namespace {

class OutputFileTest : public testing::Test {
  protected:
    TempFolder folder;
};

}  // namespace

TEST_F(OutputFileTest, OldFileStandsUntilTheCommit) {
    InsideFolder inside(folder.path);
    ASSERT_TRUE(write_file("raw.txt", "old\r\n"));
    OutputFile out;
    ASSERT_TRUE(output_file_open(&out, "raw.txt"));
    EXPECT_FALSE(out.direct);
    EXPECT_STREQ(out.target, "raw.txt");
    fprintf(out.file, "new\r\n");
    fflush(out.file);
    EXPECT_EQ(read_file("raw.txt"), "old\r\n");
    EXPECT_EQ(read_file(out.temporary), "new\r\n");
    EXPECT_EQ(folder_names("."), (std::set<std::string>{"raw.txt", out.temporary}));
    ASSERT_TRUE(output_file_commit(&out));
    EXPECT_EQ(read_file("raw.txt"), "new\r\n");
    EXPECT_EQ(folder_names("."), std::set<std::string>{"raw.txt"});
}

TEST_F(OutputFileTest, AbortLeavesTheOldFileAndNoTemporary) {
    InsideFolder inside(folder.path);
    ASSERT_TRUE(write_file("output.txt", "old\r\n"));
    OutputFile out;
    ASSERT_TRUE(output_file_open(&out, "output.txt"));
    fprintf(out.file, "half a summ");
    output_file_abort(&out);
    EXPECT_EQ(read_file("output.txt"), "old\r\n");
    EXPECT_EQ(folder_names("."), std::set<std::string>{"output.txt"});

    // Nothing there before: nothing there after.
    ASSERT_TRUE(output_file_open(&out, "raw.txt"));
    output_file_abort(&out);
    EXPECT_EQ(folder_names("."), std::set<std::string>{"output.txt"});
}

TEST_F(OutputFileTest, WhatCannotBeOpened) {
    InsideFolder inside(folder.path);
    OutputFile out;
    ASSERT_EQ(mkdir("raw.txt", 0755), 0);
    EXPECT_FALSE(output_file_open(&out, "raw.txt"));
    ASSERT_TRUE(write_file("output.txt", "kept"));
    ASSERT_EQ(chmod("output.txt", 0444), 0);
    EXPECT_FALSE(output_file_open(&out, "output.txt"));
    EXPECT_FALSE(output_file_open(&out, "missing-folder/raw.txt"));
    EXPECT_EQ(read_file("output.txt"), "kept");
    EXPECT_EQ(folder_names("."), (std::set<std::string>{"output.txt", "raw.txt"}));
}

TEST_F(OutputFileTest, DevicesAreWrittenDirectly) {
    InsideFolder inside(folder.path);
    ASSERT_EQ(symlink("/dev/null", "raw.txt"), 0);
    OutputFile out;
    ASSERT_TRUE(output_file_open(&out, "raw.txt"));
    EXPECT_TRUE(out.direct);
    fprintf(out.file, "gone\r\n");
    EXPECT_TRUE(output_file_commit(&out));
    EXPECT_EQ(folder_names("."), std::set<std::string>{"raw.txt"});
}
