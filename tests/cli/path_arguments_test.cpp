// Arguments that name a path: a mistyped folder stops the run, and the
// escaped closing quote of a Windows folder is taken off.
#include "cli/options.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

PathKind kind_here(const char* name) {
    for (const char* folder : {"shots", "C:\\Shots", "my shots/new"}) {
        if (strcmp(name, folder) == 0) return PathKind::folder;
    }
    for (const char* file : {"notes.txt", "shots/notes.txt", "odd\""}) {
        if (strcmp(name, file) == 0) return PathKind::file;
    }
    return PathKind::missing;
}

}  // namespace

TEST(PathArguments, OnlyAMissingNameWithASeparatorStopsTheRun) {
    struct Case {
        std::vector<const char*> arguments;
        bool stops;
    };
    const Case cases[] = {
        {{"-scan", "shots/Varnholt Screenshot"}, true},
        {{"shots", "gone/"}, true},          // whatever else is named
        {{"gone/", "shots"}, true},
        {{"-w", "/nowhere"}, true},
        {{"-scan", "gone"}, false},          // no separator: ignored as always
        {{"-scan", "shots/notes.txt"}, false},  // names a file: ignored as always
        {{"-dash/typo"}, false},             // an unknown option
        {{"-c", "gone/a", "gone/b"}, false},  // compare's folders: its own error
        {{"-c", "shots", "shots", "out/gone"}, true},
        {{"-h", "gone/"}, true},             // help is still shown (program.cpp)
#ifdef _WIN32
        {{"-scan", "shots\\gone"}, true},
        {{"C:gone"}, true},
#else
        {{"-scan", "shots\\gone"}, false},
        {{"C:gone"}, false},
#endif
    };
    for (const Case& c : cases) {
        std::vector<const char*> argv = c.arguments;
        argv.insert(argv.begin(), "healthgauge");
        Arguments arguments = parse_arguments(static_cast<int>(argv.size()), argv.data(), kind_here);
        EXPECT_EQ(arguments.stop_run, c.stops) << c.arguments.back();
    }
}

TEST(PathArguments, ATrailingQuoteGoesWhereWhatRemainsIsAFolder) {
    struct Case {
        std::string typed, taken;
    };
    const Case cases[] = {
        {"C:\\Shots\"", "C:\\Shots"},
        {"shots\"", "shots"},
        {"gone\"", "gone\""},      // what remains is nothing
        {"notes.txt\"", "notes.txt\""},  // a file, not a folder
        {"odd\"", "odd\""},        // the name with its quote exists
        {"\"", "\""},
        {"shots", "shots"},
        {"", ""},
    };
    std::vector<std::string> texts = {"healthgauge"};
    for (const Case& c : cases) texts.push_back(c.typed);
    std::vector<char*> argv;
    for (std::string& text : texts) argv.push_back(&text[0]);
    drop_trailing_quotes(static_cast<int>(argv.size()), argv.data(), kind_here);
    for (size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_STREQ(argv[i + 1], cases[i].taken.c_str()) << cases[i].typed;
    }
    EXPECT_STREQ(argv[0], "healthgauge");
}
