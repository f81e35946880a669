// The rules for names that the listing, the options and the watch share, and
// the PNG facts several units check.
#include "platform/platform.h"
#include "reading/names.h"
#include "reading/png/png_format.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

TEST(Names, CaseIsIgnoredForAsciiLettersOnly) {
    EXPECT_TRUE(same_text_ignoring_case("-SCAN", "-scan"));
    EXPECT_TRUE(same_text_ignoring_case("", ""));
    EXPECT_FALSE(same_text_ignoring_case("-scan", "-sca"));
    EXPECT_FALSE(same_text_ignoring_case("-sca", "-scan"));
    EXPECT_FALSE(same_text_ignoring_case("\xc3\x84", "\xc3\xa4"));  // Ä and ä are not folded
    EXPECT_FALSE(same_text_ignoring_case("@", "`"));            // 0x40 and 0x60 are no letters
}

TEST(Names, PngNamesFollowTheListingsRules) {
    for (const char* name : {"shot.png", "SHOT.PNG", "a.b.Png", "png", "x.png"}) {
        EXPECT_TRUE(name_is_png(name)) << name;
    }
    for (const char* name : {".x.png", ".png", "notes.txt", "shot.png.tmp", "shot.pn", "shot.pngx",
                             "sub/inside.png", "sub\\inside.png", "", "shotpng"}) {
        EXPECT_FALSE(name_is_png(name)) << name;
    }
}

TEST(PngFormat, OnlyTheIendChunkAtTheVeryEndCounts) {
    const uint8_t iend[12] = {0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82};
    uint8_t tail[FILE_TAIL_SIZE] = {};
    memcpy(tail + FILE_TAIL_SIZE - 12, iend, 12);
    EXPECT_TRUE(ends_with_iend(tail, FILE_TAIL_SIZE));
    EXPECT_TRUE(ends_with_iend(iend, 12));
    EXPECT_FALSE(ends_with_iend(iend, 11));                  // too short to hold it
    EXPECT_FALSE(ends_with_iend(tail, FILE_TAIL_SIZE - 1));  // cut before its end
    tail[FILE_TAIL_SIZE - 1] ^= 1;                           // CRC differs
    EXPECT_FALSE(ends_with_iend(tail, FILE_TAIL_SIZE));
    tail[FILE_TAIL_SIZE - 1] ^= 1;
    tail[FILE_TAIL_SIZE - 12] = 1;  // IEND with a length
    EXPECT_FALSE(ends_with_iend(tail, FILE_TAIL_SIZE));
}
