// stb_image_unit.cpp - the one place the image decoder's code is compiled.
// Only the PNG reader is used by the program, but the decoder keeps every
// format it knows, so any image with a .png name is decoded as it is.
#define STB_IMAGE_IMPLEMENTATION
#include <stb_image.h>
