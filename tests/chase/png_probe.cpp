// Finds the pixels of one exact colour in a PNG and prints, on one line,
// how many there are and the mean of their x and y:
//   png_probe <file.png> <r> <g> <b>   ->   <count> <mean x> <mean y>
// Exit status 1 when the file cannot be decoded.
#include <cstdio>
#include <cstdlib>

#define STB_IMAGE_IMPLEMENTATION
#include <stb/stb_image.h>

int main(int argc, char **argv) {
    if (argc != 5) {
        fprintf(stderr, "usage: png_probe FILE.png R G B\n");
        return 2;
    }
    int w = 0, h = 0, channels = 0;
    unsigned char *rgb = stbi_load(argv[1], &w, &h, &channels, 3);
    if (!rgb) {
        fprintf(stderr, "png_probe: cannot decode %s\n", argv[1]);
        return 1;
    }
    int want[3] = {atoi(argv[2]), atoi(argv[3]), atoi(argv[4])};
    long count = 0;
    double sumX = 0, sumY = 0;
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            const unsigned char *p = rgb + 3 * (static_cast<size_t>(y) * w + x);
            if (p[0] == want[0] && p[1] == want[1] && p[2] == want[2]) {
                count++;
                sumX += x;
                sumY += y;
            }
        }
    stbi_image_free(rgb);
    printf("%ld %.1f %.1f\n", count, count ? sumX / count : -1.0, count ? sumY / count : -1.0);
    return 0;
}
