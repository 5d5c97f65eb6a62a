// Mixing 64 looping voices whose volume and pan change every block: the
// CPU time to mix one second of audio (48,000 stereo frames in blocks of
// 1024), MORVEN's mixer beside SDL_mixer's, in alternating order. And the
// "Sound" module's decoding of a 60-second Ogg Vorbis file, with and
// without resampling, and the memory a playing ten-minute Ogg stream holds.
//
// Both times are CPU time of the mixing thread (CLOCK_THREAD_CPUTIME_ID),
// so that other load on the machine does not count. MORVEN's mixer is
// called directly, as a device's thread calls it, volume and pan set
// through the public calls before each block.
// SDL_mixer mixes only inside an open device's callback, so it runs with
// SDL's disk driver writing to /dev/null without pauses; its time is the
// CPU time of SDL's audio thread from one post-mix call to the next (the
// mixing, SDL_mixer's panning effect, and SDL's write of the block), with
// the volume and pan changes made in the post-mix call.
#include <benchmark/benchmark.h>
#include <morven/sound.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

#include "core/sound/mixer.h"

#ifdef MORVEN_BENCH_SDL_MIXER
#include <SDL.h>
#include <SDL_mixer.h>
#endif

#ifdef MORVEN_BENCH_SOUND_FILES
#include <sndfile.h>
#ifdef __GLIBC__
#include <malloc.h>
#define MORVEN_BENCH_HEAP_COUNT 1
#endif

#include "core/engine/engine_state.h"
extern "C" const MVPlugin *mvPluginEntry();
#endif

namespace {

constexpr int kVoices = 64, kBlock = 1024, kSecond = 48000, kSounds = 8;

// Eight different one-second mono sounds: tones with a little noise.
std::vector<std::vector<float>> makeSounds() {
    std::vector<std::vector<float>> sounds(kSounds, std::vector<float>(kSecond));
    uint32_t seed = 12345;
    for (int s = 0; s < kSounds; s++)
        for (int i = 0; i < kSecond; i++) {
            seed = seed * 1664525u + 1013904223u;
            float noise = static_cast<float>(seed >> 8) / 16777216.0f - 0.5f;
            sounds[s][i] = 0.4f * static_cast<float>(std::sin(2 * M_PI * (220.0 + 55 * s) * i / kSecond)) + 0.05f * noise;
        }
    return sounds;
}

// Volume and pan of voice v in block b: slowly wandering.
float volumeAt(int v, long b) { return 0.5f + 0.4f * static_cast<float>(std::sin(0.05 * b + v)); }
float panAt(int v, long b) { return static_cast<float>(std::sin(0.03 * b + 2.0 * v)); }

// CPU time of the calling thread: the figure compared on both sides.
long long threadCpuNs() {
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1000000000LL + ts.tv_nsec;
}

void BM_Mix64Morven(benchmark::State &state) {
    auto data = makeSounds();
    MVSound *sounds[kSounds];
    for (int s = 0; s < kSounds; s++) sounds[s] = mvSoundFromSamples(data[s].data(), kSecond, 1, kSecond);
    mixerSetDriven(true);
    MVVoice voices[kVoices];
    for (int v = 0; v < kVoices; v++) voices[v] = mvSoundPlay(sounds[v % kSounds], 0.5f, 0.0f, true);
    std::vector<float> out(2 * kBlock);
    long block = 0;
    for (auto _ : state) {
        long long start = threadCpuNs();
        for (int done = 0; done < kSecond; done += kBlock, block++) {
            for (int v = 0; v < kVoices; v++) {
                mvVoiceSetVolume(voices[v], volumeAt(v, block));
                mvVoiceSetPan(voices[v], panAt(v, block));
            }
            mixerRender(out.data(), kBlock);
            benchmark::DoNotOptimize(out.data());
        }
        state.SetIterationTime(static_cast<double>(threadCpuNs() - start) / 1e9);
    }
    for (MVSound *s : sounds) mvSoundFree(s);
    mixerEndAllVoices();
    soundCollect();
    mixerSetDriven(false);
}

#ifdef MORVEN_BENCH_SDL_MIXER
struct SdlRun {
    std::atomic<long> frames{0};
    std::atomic<long long> cpuNs{0};
    long long lastCpu = -1;
    long block = 0;
};
SdlRun *sdlRun;

void postMix(void *, Uint8 *, int bytes) {
    SdlRun &r = *sdlRun;
    for (int v = 0; v < kVoices; v++) {
        Mix_Volume(v, static_cast<int>(volumeAt(v, r.block) * MIX_MAX_VOLUME));
        float pan = panAt(v, r.block);
        Mix_SetPanning(v, static_cast<Uint8>(254 * std::fmin(1.0f, 1.0f - pan)),
                       static_cast<Uint8>(254 * std::fmin(1.0f, 1.0f + pan)));
    }
    r.block++;
    long long now = threadCpuNs();
    if (r.lastCpu >= 0) {
        r.cpuNs.fetch_add(now - r.lastCpu);
        r.frames.fetch_add(bytes / 8);
    }
    r.lastCpu = now;
}

void BM_Mix64SdlMixer(benchmark::State &state) {
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", "/dev/null", 1);
    setenv("SDL_DISKAUDIODELAY", "0", 1);
    if (SDL_Init(SDL_INIT_AUDIO) != 0 || Mix_OpenAudio(kSecond, AUDIO_F32SYS, 2, kBlock) != 0) {
        state.SkipWithError(SDL_GetError());
        return;
    }
    // SDL_mixer's chunks are in the device's format: the same sounds, stereo.
    auto data = makeSounds();
    std::vector<std::vector<float>> stereo(kSounds, std::vector<float>(2 * kSecond));
    Mix_Chunk *chunks[kSounds];
    for (int s = 0; s < kSounds; s++) {
        for (int i = 0; i < kSecond; i++) stereo[s][2 * i] = stereo[s][2 * i + 1] = data[s][i];
        chunks[s] = Mix_QuickLoad_RAW(reinterpret_cast<Uint8 *>(stereo[s].data()), 8 * kSecond);
    }
    Mix_AllocateChannels(kVoices);
    SdlRun run;
    sdlRun = &run;
    Mix_SetPostMix(postMix, nullptr);
    for (int v = 0; v < kVoices; v++) Mix_PlayChannel(v, chunks[v % kSounds], -1);
    for (auto _ : state) {
        long frames0 = run.frames.load();
        long long cpu0 = run.cpuNs.load();
        while (run.frames.load() - frames0 < kSecond) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        double perSecond = static_cast<double>(run.cpuNs.load() - cpu0) / 1e9 * kSecond /
                           static_cast<double>(run.frames.load() - frames0);
        state.SetIterationTime(perSecond);
    }
    Mix_SetPostMix(nullptr, nullptr);
    Mix_HaltChannel(-1);
    Mix_CloseAudio();
    for (Mix_Chunk *c : chunks) Mix_FreeChunk(c);
    SDL_Quit();
}
#endif

#ifdef MORVEN_BENCH_SOUND_FILES
// A minute of two-voice music-like sound as Ogg Vorbis at rate.
std::string writeOgg(int rate, int seconds) {
    std::string path = "/tmp/morven-sound-bench-" + std::to_string(getpid()) + "-" + std::to_string(rate) + "-" +
                       std::to_string(seconds) + ".ogg";
    SF_INFO info = {};
    info.samplerate = rate;
    info.channels = 2;
    info.format = SF_FORMAT_OGG | SF_FORMAT_VORBIS;
    SNDFILE *sf = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!sf) return "";
    std::vector<float> block(2 * rate);
    for (int s = 0; s < seconds; s++) {
        for (int i = 0; i < rate; i++) {
            double t = s + static_cast<double>(i) / rate;
            block[2 * i] = static_cast<float>(0.3 * std::sin(2 * M_PI * (220 + 20 * (s % 7)) * t));
            block[2 * i + 1] = static_cast<float>(0.3 * std::sin(2 * M_PI * (330 + 15 * (s % 5)) * t));
        }
        sf_writef_float(sf, block.data(), rate);
    }
    sf_close(sf);
    return path;
}

void BM_DecodeOgg60s(benchmark::State &state) {
    const int rate = static_cast<int>(state.range(0));
    std::string path = writeOgg(rate, 60);
    engineState().modules[MODULE_SOUND].plugin = mvPluginEntry();
    for (auto _ : state) {
        MVSound *sound = mvSoundLoad(path.c_str());
        if (!sound) state.SkipWithError("not decoded");
        mvSoundFree(sound);
    }
    engineState().modules[MODULE_SOUND].plugin = nullptr;
    unlink(path.c_str());
}

#ifdef MORVEN_BENCH_HEAP_COUNT
// The heap a ten-minute Ogg stream holds while it plays (glibc's count).
void BM_MusicMemory10min(benchmark::State &state) {
    std::string path = writeOgg(44100, 600);
    engineState().modules[MODULE_SOUND].plugin = mvPluginEntry();
    mixerSetDriven(true);
    double bytes = 0;
    std::vector<float> out(2 * kBlock);
    for (auto _ : state) {
        size_t before = mallinfo2().uordblks;
        MVMusic *music = mvMusicOpen(path.c_str());
        mvMusicPlay(music, 1.0f, true);
        for (int i = 0; i < 100; i++) {
            mixerRender(out.data(), kBlock);
            musicRefillAll();
        }
        bytes = static_cast<double>(mallinfo2().uordblks - before);
        mvMusicClose(music);
        mixerEndAllVoices();
        musicCollect();
    }
    state.counters["heap_bytes"] = bytes;
    mixerSetDriven(false);
    engineState().modules[MODULE_SOUND].plugin = nullptr;
    unlink(path.c_str());
}
#endif
#endif

}  // namespace

// Side by side, the order alternated.
BENCHMARK(BM_Mix64Morven)->Name("Mix64/morven/1")->UseManualTime()->Unit(benchmark::kMillisecond);
#ifdef MORVEN_BENCH_SDL_MIXER
BENCHMARK(BM_Mix64SdlMixer)->Name("Mix64/sdl_mixer/1")->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Mix64SdlMixer)->Name("Mix64/sdl_mixer/2")->UseManualTime()->Unit(benchmark::kMillisecond);
#endif
BENCHMARK(BM_Mix64Morven)->Name("Mix64/morven/2")->UseManualTime()->Unit(benchmark::kMillisecond);
#ifdef MORVEN_BENCH_SOUND_FILES
BENCHMARK(BM_DecodeOgg60s)->Arg(48000)->Arg(44100)->Unit(benchmark::kMillisecond);
#ifdef MORVEN_BENCH_HEAP_COUNT
BENCHMARK(BM_MusicMemory10min)->Iterations(1)->Unit(benchmark::kMillisecond);
#endif
#endif
