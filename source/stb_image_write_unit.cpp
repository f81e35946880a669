// stb_image_write_unit.cpp - the one place the PNG writer's code is compiled
// (the report's gauge crops, and the screenshots the tests write).
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>
