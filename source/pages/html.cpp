// html.cpp - HTML escaping and base64 (see html.h).
#include "pages/html.h"

#include <cstring>

constexpr int PIECE_SIZE = 8;

// Length of the valid UTF-8 sequence at s (2..4), or 0 when the bytes there
// do not form one: a stray continuation byte, an overlong form, a surrogate,
// a value past U+10FFFF or a sequence cut short.
int utf8_sequence_length(const unsigned char* s) {
    unsigned char c = s[0];
    int length;
    unsigned char low = 0x80, high = 0xBF;  // range of the second byte
    if (c >= 0xC2 && c <= 0xDF) {
        length = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        length = 3;
        if (c == 0xE0) low = 0xA0;   // overlong below U+0800
        if (c == 0xED) high = 0x9F;  // surrogates U+D800..U+DFFF
    } else if (c >= 0xF0 && c <= 0xF4) {
        length = 4;
        if (c == 0xF0) low = 0x90;   // overlong below U+10000
        if (c == 0xF4) high = 0x8F;  // past U+10FFFF
    } else {
        return 0;
    }
    if (s[1] < low || s[1] > high) return 0;
    for (int i = 2; i < length; ++i) {
        if (s[i] < 0x80 || s[i] > 0xBF) return 0;
    }
    return length;
}

// The escaped form of the character at s, into piece (terminated); sets
// *used to the bytes of s it stands for. s is not at its terminator.
static void escape_next(const unsigned char* s, char piece[PIECE_SIZE], int* used) {
    unsigned char c = s[0];
    *used = 1;
    const char* named = nullptr;
    switch (c) {
        case '&': named = "&amp;"; break;
        case '<': named = "&lt;"; break;
        case '>': named = "&gt;"; break;
        case '"': named = "&quot;"; break;
        case '\'': named = "&#39;"; break;
        default: break;
    }
    if (named) {
        strcpy(piece, named);
    } else if (c < 0x20) {  // U+2400 + c, the control's picture
        piece[0] = '\xE2';
        piece[1] = '\x90';
        piece[2] = static_cast<char>(0x80 + c);
        piece[3] = '\0';
    } else if (c == 0x7F) {  // U+2421
        strcpy(piece, "\xE2\x90\xA1");
    } else if (c < 0x80) {
        piece[0] = static_cast<char>(c);
        piece[1] = '\0';
    } else if (int length = utf8_sequence_length(s)) {
        memcpy(piece, s, static_cast<size_t>(length));
        piece[length] = '\0';
        *used = length;
    } else {  // U+FFFD
        strcpy(piece, "\xEF\xBF\xBD");
    }
}

size_t html_escape(const char* text, char* out, size_t out_size) {
    if (out_size == 0) return 0;
    const unsigned char* s = reinterpret_cast<const unsigned char*>(text);
    size_t length = 0;
    while (*s) {
        char piece[PIECE_SIZE];
        int used;
        escape_next(s, piece, &used);
        size_t piece_length = strlen(piece);
        if (length + piece_length + 1 > out_size) break;
        memcpy(out + length, piece, piece_length);
        length += piece_length;
        s += used;
    }
    out[length] = '\0';
    return length;
}

void write_html_text(FILE* file, const char* text) {
    const unsigned char* s = reinterpret_cast<const unsigned char*>(text);
    while (*s) {
        char piece[PIECE_SIZE];
        int used;
        escape_next(s, piece, &used);
        fputs(piece, file);
        s += used;
    }
}

size_t base64_length(size_t size) { return (size + 2) / 3 * 4; }

size_t base64_encode(const uint8_t* data, size_t size, char* out) {
    static const char DIGITS[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    char* o = out;
    size_t i = 0;
    for (; i + 3 <= size; i += 3) {
        uint32_t v = static_cast<uint32_t>(data[i]) << 16 | data[i + 1] << 8 | data[i + 2];
        *o++ = DIGITS[v >> 18];
        *o++ = DIGITS[v >> 12 & 63];
        *o++ = DIGITS[v >> 6 & 63];
        *o++ = DIGITS[v & 63];
    }
    if (i < size) {
        uint32_t v = static_cast<uint32_t>(data[i]) << 16;
        if (i + 1 < size) v |= static_cast<uint32_t>(data[i + 1]) << 8;
        *o++ = DIGITS[v >> 18];
        *o++ = DIGITS[v >> 12 & 63];
        *o++ = i + 1 < size ? DIGITS[v >> 6 & 63] : '=';
        *o++ = '=';
    }
    *o = '\0';
    return static_cast<size_t>(o - out);
}

void write_base64(FILE* file, const uint8_t* data, size_t size) {
    constexpr size_t CHUNK = 3 * 1024;  // whole groups of three, so no padding between
    char text[CHUNK / 3 * 4 + 1];
    for (size_t at = 0; at < size; at += CHUNK) {
        size_t part = size - at < CHUNK ? size - at : CHUNK;
        fwrite(text, 1, base64_encode(data + at, part, text), file);
    }
}

void write_page_head(FILE* file, const char* title, const char* style) {
    fprintf(file,
            "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
            "<meta name=\"viewport\" content=\"width=device-width,initial-scale=1\">\n"
            "<title>%s</title>\n<style>\n%s</style>\n</head>\n<body>\n<h1>%s</h1>\n",
            title, style, title);
}
