// bench_libpng_rows - the benchmark's yardstick: libpng decoding the top
// rows of every PNG in a folder and stopping there, as a reader that uses
// a general-purpose library would.
//
//     bench_libpng_rows <folder> <rows>
//
// Prints how many files it decoded and a sum of the bytes it decoded (so
// that nothing is left out by the compiler); a file libpng refuses counts
// as not decoded.
#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <string>
#include <vector>

static bool decode_top(const std::string& path, png_uint_32 rows, unsigned long* sum) {
    FILE* file = fopen(path.c_str(), "rb");
    if (!file) return false;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    std::vector<png_byte> row;
    bool ok = false;
    if (info && setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, file);
        png_read_info(png, info);
        png_set_strip_16(png);
        png_read_update_info(png, info);
        row.resize(png_get_rowbytes(png, info));
        png_uint_32 height = png_get_image_height(png, info);
        for (png_uint_32 y = 0; y < rows && y < height; ++y) {
            png_read_row(png, row.data(), nullptr);
            *sum += row[y % row.size()];
        }
        ok = true;
    }
    png_destroy_read_struct(&png, &info, nullptr);
    fclose(file);
    return ok;
}

int main(int argc, char* argv[]) {
    if (argc != 3) {
        fprintf(stderr, "usage: bench_libpng_rows <folder> <rows>\n");
        return 2;
    }
    DIR* dir = opendir(argv[1]);
    if (!dir) return 1;
    png_uint_32 rows = static_cast<png_uint_32>(strtoul(argv[2], nullptr, 10));
    unsigned long sum = 0;
    int decoded = 0;
    while (const dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name.size() > 4 && name.compare(name.size() - 4, 4, ".png") == 0) {
            decoded += decode_top(std::string(argv[1]) + "/" + name, rows, &sum);
        }
    }
    closedir(dir);
    printf("%d files, sum %lu\n", decoded, sum);
    return 0;
}
