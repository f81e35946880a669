// Opening a screenshot: only regular files, and their whole size.
#include "platform/platform.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <string>
#include <sys/stat.h>
#include <unistd.h>

TEST(OpenFile, SizeIsTheWholeSizePast32Bits) {
    TempFolder folder;
    for (off_t size : {off_t(0), off_t(12345), (off_t(1) << 31) + 7, (off_t(1) << 32) + 5}) {
        std::string path = folder / ("sized" + std::to_string(size) + ".png");
        ASSERT_TRUE(write_file(path, ""));
        ASSERT_EQ(truncate(path.c_str(), size), 0);  // sparse
        FILE* file = open_regular_file(path.c_str());
        ASSERT_NE(file, nullptr) << path;
        EXPECT_EQ(open_file_size(file), static_cast<uint64_t>(size));
        fclose(file);
    }
}

TEST(OpenFile, OnlyRegularFilesOpen) {
    TempFolder folder;
    ASSERT_EQ(mkdir((folder / "folder.png").c_str(), 0755), 0);
    ASSERT_EQ(mkfifo((folder / "pipe.png").c_str(), 0644), 0);
    EXPECT_EQ(open_regular_file((folder / "folder.png").c_str()), nullptr);
    EXPECT_EQ(open_regular_file((folder / "pipe.png").c_str()), nullptr);  // and does not hang
    EXPECT_EQ(open_regular_file((folder / "missing.png").c_str()), nullptr);
}
