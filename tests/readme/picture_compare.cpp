// Compares two PNG files by their decoded pixels (RGBA), not their bytes:
//   picture_compare <expected.png> <actual.png>
// Prints how many pixels differ; exit status 1 when any does, when the sizes
// differ or when a file cannot be decoded.
#include <cstdio>
#include <cstring>

#define STB_IMAGE_IMPLEMENTATION
#include <stb/stb_image.h>

int main(int argc, char **argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: picture_compare EXPECTED.png ACTUAL.png\n");
        return 2;
    }
    int w[2], h[2], channels;
    unsigned char *pixels[2];
    for (int i = 0; i < 2; i++) {
        pixels[i] = stbi_load(argv[1 + i], &w[i], &h[i], &channels, 4);
        if (!pixels[i]) {
            fprintf(stderr, "picture_compare: cannot decode %s: %s\n", argv[1 + i], stbi_failure_reason());
            if (i) stbi_image_free(pixels[0]);
            return 1;
        }
    }
    int status = 0;
    if (w[0] != w[1] || h[0] != h[1]) {
        printf("%s is %d x %d, %s is %d x %d\n", argv[1], w[0], h[0], argv[2], w[1], h[1]);
        status = 1;
    } else {
        long differ = 0;
        for (long p = 0; p < static_cast<long>(w[0]) * h[0]; p++)
            if (memcmp(pixels[0] + 4 * p, pixels[1] + 4 * p, 4) != 0) differ++;
        printf("%ld of %ld pixels differ\n", differ, static_cast<long>(w[0]) * h[0]);
        status = differ != 0;
    }
    stbi_image_free(pixels[0]);
    stbi_image_free(pixels[1]);
    return status;
}
