// A client of an installed zevart: loads an art set and draws its first image
// into a 32-bit surface. Exit 0 when the image's pixels came out.
//   client BMP PRT
#include <zevart/art_handle.h>

#include <cstdio>
#include <vector>

int main(int argc, char **argv) {
    if (argc != 3) return 2;
    art_handle art;
    if (int code = LoadArtFromFile(argv[1], argv[2], &art)) {
        std::printf("load failed: %d\n", code);
        return 1;
    }
    mem_image &image = art.images[0];
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = image.width;
    info.bmiHeader.biHeight = -image.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    std::vector<RGBQUAD> pixels(size_t(image.width) * size_t(image.height), RGBQUAD{1, 2, 3, 4});
    if (!drawImageDIB(pixels.data(), &info, 0, 0, &art, 0)) return 1;
    size_t drawn = 0;
    for (const RGBQUAD &p : pixels) drawn += p.rgbBlue != 1 || p.rgbGreen != 2 || p.rgbRed != 3;
    std::printf("zevart %s: image 0 is %d x %d, %zu pixels drawn\n", ZEVART_VERSION, image.width,
                image.height, drawn);
    return drawn ? 0 : 1;
}
