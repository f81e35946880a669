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

// A library that writes by name: after the hand-over it writes the
// temporary file itself (replacing it whole, as fopen "wb" does); the commit
// puts that in place, an abort leaves the old file and no temporary, and a
// temporary file that vanished meanwhile fails the commit.
TEST_F(OutputFileTest, HandedOverFileIsWrittenByNameThenCommittedOrDropped) {
    InsideFolder inside(folder.path);
    struct Case {
        const char* what;
        bool commit;
        bool remove_temporary;
        const char* left;  // report.xlsx afterwards
    };
    const Case cases[] = {
        {"commit", true, false, "by name"},
        {"abort", false, false, "old"},
        {"temporary gone", true, true, "old"},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(write_file("report.xlsx", "old"));
        OutputFile out;
        ASSERT_TRUE(output_file_open(&out, "report.xlsx")) << c.what;
        ASSERT_TRUE(output_file_hand_over(&out)) << c.what;
        EXPECT_STREQ(output_file_path(&out), out.temporary) << c.what;
        ASSERT_TRUE(write_file(output_file_path(&out), "by name")) << c.what;
        if (c.remove_temporary) {
            ASSERT_EQ(remove(out.temporary), 0) << c.what;
        }
        if (c.commit) {
            EXPECT_EQ(output_file_commit(&out), !c.remove_temporary) << c.what;
        } else {
            output_file_abort(&out);
        }
        EXPECT_EQ(read_file("report.xlsx"), c.left) << c.what;
        EXPECT_EQ(folder_names("."), std::set<std::string>{"report.xlsx"}) << c.what;
    }
}
