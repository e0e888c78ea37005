// stb's image writer, compiled here once (without our warning flags).
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-parameter"
#pragma GCC diagnostic ignored "-Wsign-compare"
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

int stb_write_bmp(const char *path, int w, int h, int comp, const void *data) {
    return stbi_write_bmp(path, w, h, comp, data);
}
