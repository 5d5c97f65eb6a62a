// Plays a 440 Hz tone for 30 frames through the SDL module's audio device
// in a real window, with MORVEN_AUDIO_CAPTURE set, then checks that the
// device got what the capture holds: run with SDL_AUDIODRIVER=disk and
// SDL_DISKAUDIOFILE=<raw>, whose file then holds what SDL played.
//   device_run RAW CAPTURE.wav
#include <morven/engine.h>
#include <morven/error.h>
#include <morven/sound.h>
#include <morven/window.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

std::vector<unsigned char> readAll(const char *path) {
    std::vector<unsigned char> bytes;
    FILE *f = fopen(path, "rb");
    if (!f) return bytes;
    unsigned char block[65536];
    size_t n;
    while ((n = fread(block, 1, sizeof block, f)) > 0) bytes.insert(bytes.end(), block, block + n);
    fclose(f);
    return bytes;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 3) return 2;
    mvLoadModule("SDL");
    if (!mvInit(0) || !mvWindowOpen(64, 64, 32, 0)) {
        fprintf(stderr, "device_run: %s\n", mvGetError());
        return 1;
    }
    std::vector<float> tone(4800);  // 44 whole cycles: loops smoothly
    for (size_t i = 0; i < tone.size(); i++) tone[i] = 0.5f * static_cast<float>(std::sin(2 * M_PI * 440.0 * i / 48000));
    MVSound *sound = mvSoundFromSamples(tone.data(), static_cast<int>(tone.size()), 1, 48000);
    MVVoice voice = mvSoundPlay(sound, 1.0f, -1.0f, true);
    for (int frame = 0; frame < 30 && mvLoop(0); frame++) {
        if (frame == 15) mvVoiceSetPan(voice, 1.0f);
        mvWindowSwapBuffers();
    }
    mvSoundFree(sound);
    mvDeinit();

    std::vector<unsigned char> raw = readAll(argv[1]), wav = readAll(argv[2]);
    if (wav.size() <= 56 || raw.empty()) {
        fprintf(stderr, "device_run: nothing played (%zu bytes) or captured (%zu bytes)\n", raw.size(), wav.size());
        return 1;
    }
    size_t captured = wav.size() - 56;
    // The capture holds the blocks the device asked for: all of them, the
    // device perhaps one more that it played after the capture's last look.
    if (captured > raw.size() || memcmp(raw.data(), wav.data() + 56, captured) != 0 ||
        raw.size() - captured > 8 * 8192) {
        fprintf(stderr, "device_run: the device played %zu bytes, not the %zu captured\n", raw.size(), captured);
        return 1;
    }
    float peakLeft = 0, peakRight = 0;
    for (size_t i = 0; i + 8 <= captured; i += 8) {
        float l, r;
        memcpy(&l, raw.data() + i, 4);
        memcpy(&r, raw.data() + i + 4, 4);
        peakLeft = std::fmax(peakLeft, std::fabs(l));
        peakRight = std::fmax(peakRight, std::fabs(r));
    }
    if (std::fabs(peakLeft - 0.5f) > 0.01f || std::fabs(peakRight - 0.5f) > 0.01f) {
        fprintf(stderr, "device_run: peaks %.3f left, %.3f right; 0.5 expected in each\n", peakLeft, peakRight);
        return 1;
    }
    printf("device_run: %zu frames through the device, the same as captured\n", captured / 8);
    return 0;
}
