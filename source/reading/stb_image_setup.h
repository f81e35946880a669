// stb_image_setup.h - stb_image as this program builds it. Include this
// instead of <stb_image.h>, so that every user sees the same settings.
//
// Only the PNG reader is compiled: the decoder's other formats are code this
// program never needs, so a file that is not a PNG fails to load whatever its
// name. Every allocation of the decoder goes through the decode budget
// (decode_budget.h), so that one file's decode holds only the memory it was
// granted.
#pragma once

#include "reading/decode_budget.h"

#define STBI_ONLY_PNG
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#define STBI_MALLOC(size) budget_malloc(size)
#define STBI_REALLOC(block, size) budget_realloc(block, size)
#define STBI_FREE(block) budget_free(block)

#include <stb_image.h>
