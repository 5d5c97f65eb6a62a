// Prints where sounds start in a capture (MORVEN_AUDIO_CAPTURE's float
// stereo WAV): "<frames> onsets <frame> <frame> ...", an onset being a
// frame heard after at least 400 silent ones (or at the start).
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

int main(int argc, char **argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: wav_onsets FILE.wav\n");
        return 2;
    }
    FILE *f = fopen(argv[1], "rb");
    if (!f) {
        perror(argv[1]);
        return 1;
    }
    unsigned char header[56];
    std::vector<float> samples;
    if (fread(header, 1, sizeof header, f) != sizeof header || memcmp(header, "RIFF", 4) ||
        memcmp(header + 48, "data", 4) || header[20] != 3 || header[22] != 2) {
        fprintf(stderr, "%s: not a float stereo capture\n", argv[1]);
        return 1;
    }
    float block[4096];
    size_t n;
    while ((n = fread(block, sizeof(float), 4096, f)) > 0) samples.insert(samples.end(), block, block + n);
    fclose(f);
    size_t frames = samples.size() / 2, quiet = 400;
    printf("%zu onsets", frames);
    for (size_t i = 0; i < frames; i++) {
        float l = samples[2 * i], r = samples[2 * i + 1];
        if (l == 0.0f && r == 0.0f) {
            quiet++;
            continue;
        }
        if (quiet >= 400) printf(" %zu", i);
        quiet = 0;
    }
    printf("\n");
    return 0;
}
