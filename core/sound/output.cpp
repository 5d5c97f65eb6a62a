// The null device, the device callback and the capture.
#include "core/sound/output.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>

#include "core/base/error.h"
#include "core/sound/mixer.h"
#include "core/sound/wav_write.h"

namespace {

constexpr int kBlock = 1024;
// What a device's thread may mix ahead of the engine's writing of the
// capture: about 11 seconds (4 MiB), for a busy or starved engine thread;
// beyond that frames are counted as lost.
constexpr uint32_t kCaptureRingFrames = uint32_t(1) << 19;

struct Output {
    bool running;
    bool byDevice;
    WavWriter *capture;
    // With a device: its thread's blocks on their way to the capture file.
    float *ring;
    std::atomic<uint32_t> written, read;
    std::atomic<uint64_t> lost;  // frames that found the ring full
    long carry;                  // null device: kMixRate * frames not yet mixed, per frame rate
} output;

void drainCapture() {
    if (!output.ring) return;
    uint32_t read = output.read.load(std::memory_order_relaxed);
    uint32_t written = output.written.load(std::memory_order_acquire);
    while (read != written) {
        uint32_t at = read & (kCaptureRingFrames - 1);
        uint32_t n = written - read;
        if (n > kCaptureRingFrames - at) n = kCaptureRingFrames - at;
        wavWrite(output.capture, output.ring + 2 * static_cast<size_t>(at), n);
        read += n;
        output.read.store(read, std::memory_order_release);
    }
}

void keepForCapture(const float *frames, int count) {
    if (!output.ring) return;
    uint32_t written = output.written.load(std::memory_order_relaxed);
    uint32_t room = kCaptureRingFrames - (written - output.read.load(std::memory_order_acquire));
    if (room < static_cast<uint32_t>(count)) {
        output.lost.fetch_add(static_cast<uint64_t>(count), std::memory_order_relaxed);
        return;
    }
    for (int i = 0; i < count; i++) {
        uint32_t at = (written + static_cast<uint32_t>(i)) & (kCaptureRingFrames - 1);
        output.ring[2 * at] = frames[2 * i];
        output.ring[2 * at + 1] = frames[2 * i + 1];
    }
    output.written.store(written + static_cast<uint32_t>(count), std::memory_order_release);
}

}  // namespace

bool soundOutputStart(const char *capturePath, bool byDevice) {
    output.running = true;
    output.byDevice = byDevice;
    output.carry = 0;
    output.written.store(0);
    output.read.store(0);
    output.lost.store(0);
    mixerSetDriven(true);
    musicRefillAll();
    if (!capturePath) return true;
    if (!(output.capture = wavOpen(capturePath))) return false;
    if (byDevice && !(output.ring = static_cast<float *>(malloc(sizeof(float) * 2 * kCaptureRingFrames)))) {
        wavClose(output.capture);
        output.capture = nullptr;
        setError("audio capture %s: out of memory", capturePath);
        return false;
    }
    return true;
}

bool soundOutputHeardFrom() {
    for (int i = 0; i < kVoiceCount; i++)
        if (mixerSlotBusy(i)) return true;
    return false;
}

void soundOutputUseNullDevice() {
    free(output.ring);
    output.ring = nullptr;
    output.byDevice = false;
    output.carry = 0;
}

void soundDeviceRender(void *, float *out, int frames) {
    mixerRender(out, frames);
    keepForCapture(out, frames);
}

void soundOutputFrame(int framesPerSecond) {
    if (!output.running) return;
    soundCollect();
    musicCollect();
    musicRefillAll();
    if (output.byDevice) {
        drainCapture();
        return;
    }
    if (framesPerSecond <= 0) return;
    output.carry += kMixRate;
    long frames = output.carry / framesPerSecond;
    output.carry %= framesPerSecond;
    float block[2 * kBlock];
    while (frames > 0) {
        int n = frames < kBlock ? static_cast<int>(frames) : kBlock;
        mixerRender(block, n);
        if (output.capture) wavWrite(output.capture, block, static_cast<size_t>(n));
        frames -= n;
        // A long frame (a low frame rate) must not run dry of music.
        if (frames > 0) musicRefillAll();
    }
}

bool soundOutputStop() {
    if (!output.running) return true;
    drainCapture();
    uint64_t lost = output.lost.load();
    bool ok = true;
    if (output.capture) {
        ok = wavClose(output.capture);
        output.capture = nullptr;
        if (ok && lost) {
            setError("audio capture: %llu frames lost while the engine's thread was busy",
                           static_cast<unsigned long long>(lost));
            ok = false;
        }
    }
    free(output.ring);
    output.ring = nullptr;
    output.running = false;
    mixerSetDriven(false);
    mixerEndAllVoices();
    soundCollect();
    musicCollect();
    return ok;
}
