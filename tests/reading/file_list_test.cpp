// The listing: which entries of a real folder reach the index list, and how
// paths, extensions and names are cut.
#include "platform/platform.h"
#include "reading/file_list.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <string>
#include <vector>

namespace {

struct Listing {
    std::map<std::string, const FileEntry*> files;  // by path
    std::string output;
    bool listed;  // what file_list_scan said
};

// Lists the working directory, inside folder.
Listing list_folder(const std::string& folder) {
    InsideFolder inside(folder);
    file_list_release();  // no root of an earlier listing
    EXPECT_TRUE(file_list_allocate());
    file_list.keep_files = true;
    file_list.keep_directories = false;
    file_list_reset();
    testing::internal::CaptureStdout();
    Listing listing;
    listing.listed = file_list_scan();
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
    EXPECT_TRUE(listing.listed);
    std::map<std::string, bool> expected = {{"shot.PNG", true}, {"notes.txt", false},
                                            {"archive.tar.gz", false}, {"README", false},
                                            {"png", true}, {"link.png", true}};
    EXPECT_EQ(listing.files.size(), expected.size());
    for (const auto& [path, is_png] : expected) {
        ASSERT_EQ(listing.files.count(path), 1u) << path;
        EXPECT_EQ(entry_is_png(*listing.files[path]), is_png) << path;
    }
    // No entry of the table, in use or not, is the subdirectory's content.
    ASSERT_LE(file_list.entry_count, file_list.capacity);
    for (int i = 0; i < file_list.capacity; ++i) {
        const char* path = file_list.entries[i].path;
        EXPECT_EQ(std::string(path ? path : "").find("inside"), std::string::npos);
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
    EXPECT_EQ(std::string(shot.name, shot.stem_length), "shot");
    EXPECT_EQ(shot.size, 5u);
    // Nanoseconds since 1601, as Windows counts from 1601.
    EXPECT_EQ(shot.time, (11644473600ull + 1700000000u) * 1000000000ull + 5);

    const FileEntry& archive = *listing.files.at("archive.tar.gz");
    EXPECT_STREQ(archive.extension, "gz");
    EXPECT_EQ(std::string(archive.name, archive.stem_length), "archive.tar");

    const FileEntry& readme = *listing.files.at("README");
    EXPECT_EQ(readme.extension, readme.path) << "no dot: the whole path";
    EXPECT_EQ(std::string(readme.name, readme.stem_length), "README");
}

TEST_F(FileListTest, FolderThatCannotBeListedHandsBackTheSystemError) {
    InsideFolder inside(folder.path);
    Listing listing;
    testing::internal::CaptureStdout();
    listing.listed = file_list_list_folder("no-such-folder/");
    listing.output = testing::internal::GetCapturedStdout();
    EXPECT_EQ(listing.output, "");  // the mode says it, not the listing
    EXPECT_TRUE(file_list.failed);
    EXPECT_EQ(file_list.error, 2);  // ENOENT
    EXPECT_FALSE(listing.listed);
    EXPECT_TRUE(list_folder(folder.path).listed);
    EXPECT_FALSE(file_list.failed);  // a listing that works clears it
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
    EXPECT_EQ(std::string(first.name, first.stem_length), stem);
    EXPECT_TRUE(entry_is_png(first));
    const FileEntry& second = file_list.entries[file_list.index[1]];
    EXPECT_EQ(std::string(second.path), longest);
    EXPECT_EQ(second.extension, second.path);
}

TEST_F(FileListTest, TableGrowsPastMaxEntriesKeepingEveryName) {
    ASSERT_TRUE(file_list_allocate());
    file_list.keep_files = true;
    file_list_reset();
    file_list.entries[0].in_use = true;
    file_list.first_free = 1;
    char name[32];
    const char* first_path = nullptr;
    for (int i = 0; i < MAX_ENTRIES + 5; ++i) {
        snprintf(name, sizeof name, "shot%05d.png", i);
        file_list_add("./*", name, i % 2 == 1, static_cast<uint64_t>(i), 1);
        if (i == 0) first_path = file_list.entries[1].path;
    }
    // The table moved as it grew; the paths did not.
    EXPECT_EQ(file_list.entries[1].path, first_path);
    // Every name has its entry, in order; the odd ones are directories.
    ASSERT_EQ(file_list.entry_count, MAX_ENTRIES + 6);
    ASSERT_EQ(file_list.file_count, (MAX_ENTRIES + 5 + 1) / 2);
    for (int slot = 0; slot < file_list.file_count; ++slot) {
        const FileEntry& entry = file_list.entries[file_list.index[slot]];
        snprintf(name, sizeof name, "shot%05d.png", 2 * slot);
        ASSERT_EQ(file_list.index[slot], 2 * slot + 1);
        ASSERT_STREQ(entry.path, name);
        ASSERT_EQ(entry.extension, entry.path + 10);
        ASSERT_EQ(entry.name, entry.path);
        ASSERT_EQ(entry.stem_length, 9);
        ASSERT_EQ(entry.time, static_cast<uint64_t>(2 * slot));
    }
    EXPECT_EQ(file_list.index[file_list.file_count], -1);

    // A reset clears what the big listing left: a small one starts afresh.
    file_list_reset();
    file_list.entries[0].in_use = true;
    file_list.first_free = 1;
    file_list_add("./*", "only.png", false, 7, 1);
    EXPECT_EQ(file_list.file_count, 1);
    EXPECT_EQ(file_list.entry_count, 2);
    EXPECT_EQ(file_list.index[1], -1);
    for (int i = 2; i < file_list.capacity; i += 997) {
        EXPECT_FALSE(file_list.entries[i].in_use) << i;
        EXPECT_EQ(file_list.entries[i].path, nullptr) << i;
    }
}

TEST_F(FileListTest, FolderOfAHundredThousandFilesIsListedWhole) {
    constexpr int COUNT = 100000;
    for (int i = 0; i < COUNT; ++i) {
        char name[32];
        snprintf(name, sizeof name, "f%06d%s", i, i % 1000 == 0 ? ".png" : ".txt");
        int fd = open((folder / name).c_str(), O_CREAT | O_WRONLY, 0644);
        ASSERT_GE(fd, 0) << name;
        close(fd);
    }
    // The order readdir gives, which the listing keeps.
    std::vector<std::string> order;
    DIR* dir = opendir(folder.path.c_str());
    ASSERT_NE(dir, nullptr);
    while (const dirent* entry = readdir(dir)) {
        if (entry->d_name[0] != '.') order.push_back(entry->d_name);
    }
    closedir(dir);
    ASSERT_EQ(order.size(), size_t(COUNT));

    Listing listing = list_folder(folder.path);
    EXPECT_EQ(listing.output, "");
    ASSERT_EQ(file_list.file_count, COUNT);
    int pngs = 0;
    for (int slot = 0; slot < COUNT; ++slot) {
        const FileEntry& entry = file_list.entries[file_list.index[slot]];
        ASSERT_EQ(order[slot], entry.path) << slot;
        if (entry_is_png(entry)) ++pngs;
    }
    EXPECT_EQ(pngs, COUNT / 1000);
}

TEST_F(FileListTest, EmptyFolderUsesASmallTable) {
    Listing listing = list_folder(folder.path);
    EXPECT_TRUE(listing.files.empty());
    EXPECT_EQ(file_list.entry_count, 1);  // the root only
    EXPECT_LT(file_list.capacity, MAX_ENTRIES / 100);
}

TEST_F(FileListTest, TimesBefore1970SortBeforeLaterOnes) {
    const std::pair<const char*, long> files[] = {
        {"1969.png", -86400},
        {"1970.png", 0},
        {"2023.png", 1700000000},
        {"1901.png", -2147483648L}};
    for (const auto& [name, seconds] : files) {
        ASSERT_TRUE(write_file(folder / name, "x"));
        ASSERT_TRUE(set_time(folder / name, seconds));
    }
    Listing listing = list_folder(folder.path);
    ASSERT_EQ(listing.files.size(), 4u);
    uint64_t t1901 = listing.files.at("1901.png")->time;
    uint64_t t1969 = listing.files.at("1969.png")->time;
    uint64_t t1970 = listing.files.at("1970.png")->time;
    uint64_t t2023 = listing.files.at("2023.png")->time;
    EXPECT_LT(t1901, t1969);
    EXPECT_LT(t1969, t1970);
    EXPECT_LT(t1970, t2023);
    EXPECT_EQ(t1970 - t1969, 86400ull * 1000000000ull);
}

TEST_F(FileListTest, AnotherFolderIsListedUnderItsOwnNameAsRoot) {
    ASSERT_EQ(mkdir((folder / "gear one").c_str(), 0755), 0);
    ASSERT_TRUE(write_file(folder / "gear one/shot.png", "x"));
    ASSERT_TRUE(write_file(folder / "outside.png", "x"));
    {
        InsideFolder inside(folder.path);
        ASSERT_TRUE(file_list_list_folder("gear one/"));
        EXPECT_STREQ(file_list.root, "gear one");
        ASSERT_EQ(file_list.file_count, 1);
        EXPECT_STREQ(file_list.entries[file_list.index[0]].path, "shot.png");  // under the root
        // Names no folder can have are not listed, and nothing else is tried.
        EXPECT_FALSE(file_list_list_folder(""));
        EXPECT_TRUE(file_list.failed);
        EXPECT_EQ(file_list.file_count, 0);
        // A name longer than the system allows is the system's to refuse.
        EXPECT_FALSE(file_list_list_folder(std::string(PATH_SIZE, 'a').c_str()));
        EXPECT_EQ(file_list.error, ENAMETOOLONG);
        // The working directory's listing is "." again.
        ASSERT_TRUE(file_list_list_files());
        EXPECT_STREQ(file_list.root, ".");
        EXPECT_EQ(file_list.file_count, 1);  // outside.png: the folder is no file
        file_list_release();
    }
}

TEST_F(FileListTest, FolderPathsOfAnyLengthAreListed) {
    // Four nested folders of 199 characters: 799 bytes, more than any one
    // name the search yields.
    std::string deep;
    for (int level = 0; level < 4; ++level) {
        deep += (level ? "/" : "") + std::string(199, static_cast<char>('a' + level));
        ASSERT_EQ(mkdir((folder / deep).c_str(), 0755), 0) << level;
    }
    ASSERT_GT(deep.size(), size_t(PATH_SIZE));
    ASSERT_TRUE(write_file(folder / deep + "/shot.png", "x"));
    InsideFolder inside(folder.path);
    ASSERT_TRUE(file_list_list_folder((deep + "/").c_str()));
    EXPECT_EQ(std::string(file_list.root), deep);
    ASSERT_EQ(file_list.file_count, 1);
    EXPECT_STREQ(file_list.entries[file_list.index[0]].path, "shot.png");
    // A missing one at that length fails with the system's reason.
    EXPECT_FALSE(file_list_list_folder((deep + "/missing").c_str()));
    EXPECT_TRUE(file_list.failed);
    EXPECT_EQ(file_list.error, ENOENT);
}
