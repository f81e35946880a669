// stb_image_unit.cpp - the one place the image decoder's code is compiled,
// with the settings of stb_image_setup.h: PNG only, allocating through the
// decode budget.
#define STB_IMAGE_IMPLEMENTATION
#include "reading/stb_image_setup.h"
