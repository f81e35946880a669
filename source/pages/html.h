// html.h - text for the report page: HTML escaping and base64.
//
//     char safe[HTML_ESCAPED_SIZE(strlen(name))];
//     html_escape(name, safe, sizeof safe);      // file name -> HTML text
//     write_html_text(file, name);               // the same, straight to a file
//     write_base64(file, png, png_size);         // the body of a data: URI
//     write_page_head(file, "Health gauge report", STYLE);  // up to <h1>
//
// Escaping makes any bytes safe to show as text or inside a quoted attribute:
// & < > " ' become character references, bytes that are not valid UTF-8 each
// become U+FFFD, and control characters become their visible pictures
// (U+2400..U+241F, U+2421), so nothing in a file name is ever interpreted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

// Room for the escaped form of `length` bytes and the terminator: no byte
// grows past six ("&quot;").
#define HTML_ESCAPED_SIZE(length) (6 * (length) + 1)

// Writes the escaped text into out (out_size bytes, terminator included),
// stopping before a character that would not fit. Returns its length.
size_t html_escape(const char* text, char* out, size_t out_size);

// Length of the valid UTF-8 sequence of two to four bytes at s, or 0 when
// the bytes there do not form one (a stray continuation byte, an overlong
// form, a surrogate, a value past U+10FFFF, a sequence cut short).
int utf8_sequence_length(const unsigned char* s);

// Writes the escaped text to file.
void write_html_text(FILE* file, const char* text);

// Characters of the base64 form of `size` bytes (padding included).
size_t base64_length(size_t size);

// Writes the base64 form of data into out (base64_length(size) + 1 bytes,
// terminated). Returns its length.
size_t base64_encode(const uint8_t* data, size_t size, char* out);

// Writes the base64 form of data to file.
void write_base64(FILE* file, const uint8_t* data, size_t size);

// Opens a page: the doctype, the head with its title and the page's own
// style text, <body> and the title again as the page's <h1>.
void write_page_head(FILE* file, const char* title, const char* style);
