// HTML escaping of any bytes, and base64, as the pages use them.
#include "pages/html.h"
#include "support/page_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

std::string escaped(const std::string& text) {
    std::vector<char> out(HTML_ESCAPED_SIZE(text.size()));
    html_escape(text.c_str(), out.data(), out.size());
    std::string both = written([&](FILE* file) { write_html_text(file, text.c_str()); });
    EXPECT_EQ(both, out.data()) << "the buffer and the file forms differ";
    return out.data();
}

const std::string FFFD = "\xEF\xBF\xBD";


}  // namespace

TEST(Html, EscapesMarkupAndQuotes) {
    EXPECT_EQ(escaped("shot0001.png"), "shot0001.png");
    EXPECT_EQ(escaped("<script>alert(\"x\")</script>&'.png"),
              "&lt;script&gt;alert(&quot;x&quot;)&lt;/script&gt;&amp;&#39;.png");
    EXPECT_EQ(escaped("&amp;"), "&amp;amp;");
    // Control characters show as their pictures.
    EXPECT_EQ(escaped("a\nb\x7f"), "a\xE2\x90\x8A" "b\xE2\x90\xA1");
    EXPECT_EQ(escaped(std::string("\x01", 1)), "\xE2\x90\x81");
}

TEST(Html, KeepsUtf8AndReplacesInvalidBytes) {
    EXPECT_EQ(escaped("sk\xC3\xA4rmbild.png"), "sk\xC3\xA4rmbild.png");
    EXPECT_EQ(escaped("\xE3\x82\xB9\xE3\x82\xAF\xE3\x82\xB7\xE3\x83\xA7.png"),
              "\xE3\x82\xB9\xE3\x82\xAF\xE3\x82\xB7\xE3\x83\xA7.png");
    EXPECT_EQ(escaped("\xF0\x9F\x8E\xAE"), "\xF0\x9F\x8E\xAE");   // U+1F3AE
    EXPECT_EQ(escaped("a\xFF" "b"), "a" + FFFD + "b");            // never valid
    EXPECT_EQ(escaped("\x80"), FFFD);                             // stray continuation
    EXPECT_EQ(escaped("\xC0\xAF"), FFFD + FFFD);                  // overlong '/'
    EXPECT_EQ(escaped("\xE0\x80\xAF"), FFFD + FFFD + FFFD);       // overlong
    EXPECT_EQ(escaped("\xED\xA0\x80"), FFFD + FFFD + FFFD);       // surrogate
    EXPECT_EQ(escaped("\xF4\x90\x80\x80"), FFFD + FFFD + FFFD + FFFD);  // past U+10FFFF
    EXPECT_EQ(escaped("x\xE2\x82"), "x" + FFFD + FFFD);           // cut short at the end
    EXPECT_EQ(escaped("\xE2\x82<"), FFFD + FFFD + "&lt;");        // cut short by markup
}

TEST(Html, EscapingStopsAtACharacterThatDoesNotFit) {
    char out[8];
    EXPECT_EQ(html_escape("ab<cd", out, sizeof out), size_t(7));
    EXPECT_STREQ(out, "ab&lt;c");
    EXPECT_EQ(html_escape("a\xC3\xA4\xC3\xA4\xC3\xA4", out, 7), size_t(5));
    EXPECT_STREQ(out, "a\xC3\xA4\xC3\xA4");
}

TEST(Html, Base64) {
    const char* cases[][2] = {{"", ""},         {"f", "Zg=="},         {"fo", "Zm8="},
                              {"foo", "Zm9v"},  {"foob", "Zm9vYg=="},  {"fooba", "Zm9vYmE="},
                              {"foobar", "Zm9vYmFy"}};
    for (const auto& c : cases) {
        const uint8_t* data = reinterpret_cast<const uint8_t*>(c[0]);
        std::vector<char> out(base64_length(strlen(c[0])) + 1);
        EXPECT_EQ(base64_encode(data, strlen(c[0]), out.data()), strlen(c[1]));
        EXPECT_STREQ(out.data(), c[1]);
    }
    // Written to a file in pieces, a long block reads the same as in one go.
    std::vector<uint8_t> block(10000);
    for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>(i * 7 + i / 251);
    for (size_t size : {size_t(3072), size_t(3073), size_t(9999), size_t(10000)}) {
        std::vector<char> whole(base64_length(size) + 1);
        base64_encode(block.data(), size, whole.data());
        EXPECT_EQ(written([&](FILE* file) { write_base64(file, block.data(), size); }),
                  whole.data())
            << size;
    }
}
