// The listing: which entries of a real folder reach the index list, and how
// paths, extensions and names are cut.
#include "file_list.h"
#include "platform.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <map>
#include <string>

namespace {

struct Listing {
    std::map<std::string, const FileEntry*> files;  // by path
    std::string output;
};

Listing list_folder(const std::string& folder) {
    InsideFolder inside(folder);
    EXPECT_TRUE(file_list_allocate());
    file_list.keep_files = true;
    file_list.keep_directories = false;
    file_list_reset();
    testing::internal::CaptureStdout();
    file_list_scan();
    Listing listing;
    listing.output = testing::internal::GetCapturedStdout();
    for (int slot = 0; slot < file_list.file_count; ++slot) {
        const FileEntry& entry = file_list.entries[file_list.index[slot]];
        EXPECT_TRUE(entry.in_use) << entry.path;
        EXPECT_FALSE(entry.is_directory) << entry.path;
        listing.files[entry.path] = &entry;
    }
    return listing;
}

class FileListTest : public testing::Test {
  protected:
    void TearDown() override { file_list_release(); }
    TempFolder folder;
};

}  // namespace

TEST_F(FileListTest, KeepsTheFolderOwnFilesOnly) {
    for (const char* name : {"shot.PNG", "notes.txt", ".hidden.png", "archive.tar.gz", "README",
                             "png"}) {
        ASSERT_TRUE(write_file(folder / name, "x"));
    }
    ASSERT_EQ(mkdir((folder / "old").c_str(), 0755), 0);
    ASSERT_TRUE(write_file(folder / "old/inside.png", "x"));
    ASSERT_EQ(mkfifo((folder / "pipe.png").c_str(), 0644), 0);
    ASSERT_EQ(symlink("shot.PNG", (folder / "link.png").c_str()), 0);
    ASSERT_EQ(symlink("nowhere.png", (folder / "broken.png").c_str()), 0);

    Listing listing = list_folder(folder.path);
    EXPECT_EQ(listing.output, "");
    std::map<std::string, bool> expected = {{"shot.PNG", true}, {"notes.txt", false},
                                            {"archive.tar.gz", false}, {"README", false},
                                            {"png", true}, {"link.png", true}};
    EXPECT_EQ(listing.files.size(), expected.size());
    for (const auto& [path, is_png] : expected) {
        ASSERT_EQ(listing.files.count(path), 1u) << path;
        EXPECT_EQ(entry_is_png(*listing.files[path]), is_png) << path;
    }
    // No entry of the table, in use or not, is the subdirectory's content.
    for (int i = 0; i < MAX_ENTRIES; ++i) {
        EXPECT_EQ(std::string(file_list.entries[i].path).find("inside"), std::string::npos);
        if (file_list.entries[i].in_use) {
            EXPECT_FALSE(file_list.entries[i].is_directory);
        }
    }
}

TEST_F(FileListTest, CutsExtensionNameAndStem) {
    for (const char* name : {"shot.png", "archive.tar.gz", "README"}) {
        ASSERT_TRUE(write_file(folder / name, "12345"));
    }
    ASSERT_TRUE(set_time(folder / "shot.png", 1700000000, 5));
    Listing listing = list_folder(folder.path);

    const FileEntry& shot = *listing.files.at("shot.png");
    EXPECT_STREQ(shot.extension, "png");
    EXPECT_STREQ(shot.name, "shot.png");
    EXPECT_STREQ(shot.stem_name, "shot");
    EXPECT_EQ(shot.size, 5u);
    EXPECT_EQ(shot.time, 1700000000u * 1000000000ull + 5);

    const FileEntry& archive = *listing.files.at("archive.tar.gz");
    EXPECT_STREQ(archive.extension, "gz");
    EXPECT_STREQ(archive.stem_name, "archive.tar");

    const FileEntry& readme = *listing.files.at("README");
    EXPECT_EQ(readme.extension, readme.path) << "no dot: the whole path";
    EXPECT_STREQ(readme.stem_name, "README");
}

TEST_F(FileListTest, FolderThatCannotBeListedReportsTheSystemError) {
    snprintf(file_list.root, sizeof file_list.root, "no-such-folder/");
    Listing listing = list_folder(folder.path);
    snprintf(file_list.root, sizeof file_list.root, ".");
    EXPECT_EQ(listing.output, "FindFirstFile failed (2)\n");  // ENOENT
    EXPECT_TRUE(listing.files.empty());
    EXPECT_FALSE(file_list.entries[0].in_use);
}

TEST_F(FileListTest, RemovedWorkingFolderListsNothing) {
    std::string gone = folder / "gone";
    ASSERT_EQ(mkdir(gone.c_str(), 0755), 0);
    InsideFolder inside(gone);
    ASSERT_EQ(rmdir(gone.c_str()), 0);
    Listing listing = list_folder(".");
    EXPECT_TRUE(listing.files.empty());
}

TEST_F(FileListTest, NamesThatDoNotFitAreSkipped) {
    ASSERT_TRUE(file_list_allocate());
    file_list.keep_files = true;
    file_list_reset();
    file_list.entries[0].in_use = true;
    file_list.first_free = 1;
    std::string fits(PATH_SIZE - 1 - 4, 'a');
    file_list_add("./*", (fits + ".png").c_str(), false, 1, 1);
    file_list_add("./*", (fits + "a.png").c_str(), false, 2, 1);
    file_list_add("./*", "after.png", false, 3, 1);
    ASSERT_EQ(file_list.file_count, 2);
    EXPECT_EQ(strlen(file_list.entries[file_list.index[0]].path), size_t(PATH_SIZE - 1));
    EXPECT_STREQ(file_list.entries[file_list.index[0]].extension, "png");
    EXPECT_STREQ(file_list.entries[file_list.index[1]].path, "after.png");
}

// Every name the directory search can yield fits a path: 255 UTF-16 units of
// a Windows name, as UTF-8.
static_assert(PATH_SIZE >= DIR_NAME_SIZE, "a path holds every name the search yields");

TEST_F(FileListTest, LongestNamesInUtf8AreKeptWhole) {
    ASSERT_TRUE(file_list_allocate());
    file_list.keep_files = true;
    file_list_reset();
    file_list.entries[0].in_use = true;
    file_list.first_free = 1;
    std::string stem;
    for (int i = 0; i < 251; ++i) stem += "\xe3\x82\xb9";  // ス, 3 bytes in UTF-8
    std::string longest = stem + "\xe3\x82\xb9\xe3\x82\xb9\xe3\x82\xb9\xe3\x82\xb9";  // 255 of them
    file_list_add("./*", (stem + ".png").c_str(), false, 1, 1);  // 255 characters with .png
    file_list_add("./*", longest.c_str(), false, 2, 1);           // 765 bytes, no extension
    ASSERT_EQ(file_list.file_count, 2);
    const FileEntry& first = file_list.entries[file_list.index[0]];
    EXPECT_EQ(std::string(first.path), stem + ".png");
    EXPECT_STREQ(first.extension, "png");
    EXPECT_EQ(std::string(first.stem_name), stem);
    EXPECT_TRUE(entry_is_png(first));
    const FileEntry& second = file_list.entries[file_list.index[1]];
    EXPECT_EQ(std::string(second.path), longest);
    EXPECT_EQ(second.extension, second.path);
}

TEST_F(FileListTest, FullTableIgnoresFurtherNames) {
    ASSERT_TRUE(file_list_allocate());
    file_list.keep_files = true;
    file_list_reset();
    file_list.entries[0].in_use = true;
    file_list.first_free = 1;
    char name[32];
    for (int i = 0; i < MAX_ENTRIES + 5; ++i) {
        snprintf(name, sizeof name, "shot%05d.png", i);
        file_list_add("./*", name, i % 2 == 1, static_cast<uint64_t>(i), 1);
    }
    // 19999 entries besides the root; the odd ones are directories.
    EXPECT_EQ(file_list.file_count, (MAX_ENTRIES - 1 + 1) / 2);
    EXPECT_STREQ(file_list.entries[MAX_ENTRIES - 1].path, "shot19998.png");
    EXPECT_STREQ(file_list.entries[file_list.index[file_list.file_count - 1]].path,
                 "shot19998.png");
}
