// Fuzzes the input-script parser and the replay with arbitrary bytes: every
// script parses without a fault, keeps no more events than it has lines, and
// replaying it leaves the input state consistent: a key pressed this frame is
// down or was released again, typed text is whole UTF-8 within 1024 bytes.
#include <morven/input.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "core/engine/input_state.h"
#include "core/engine/replay.h"
#include "fuzz_check.h"

namespace {

bool wholeUtf8(const char *s) {
    for (const unsigned char *p = reinterpret_cast<const unsigned char *>(s); *p;) {
        int extra = *p < 0x80 ? 0 : *p >= 0xF0 ? 3 : *p >= 0xE0 ? 2 : *p >= 0xC2 ? 1 : -1;
        if (extra < 0) return false;
        for (int k = 1; k <= extra; k++)
            if ((p[k] & 0xC0) != 0x80) return false;
        p += extra + 1;
    }
    return true;
}

void checkState() {
    for (int key = 0; key < MV_KEY_COUNT; key++) {
        if (mvInputKeyPressed(key)) FUZZ_CHECK(mvInputKeyDown(key) || mvInputKeyReleased(key));
        if (mvInputKeyReleased(key)) FUZZ_CHECK(!mvInputKeyDown(key) || mvInputKeyPressed(key));
    }
    FUZZ_CHECK((mvInputMouse(nullptr, nullptr) & ~7u) == 0);
    const char *text = mvInputText();
    FUZZ_CHECK(strlen(text) <= 1024);
    FUZZ_CHECK(wholeUtf8(text));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static FILE *quiet = fopen("/dev/null", "w");
    Replay *replay = replayParse(reinterpret_cast<const char *>(data), size, "fuzz", quiet);
    FUZZ_CHECK(replay);
    size_t lines = size ? 1 : 0;
    for (size_t i = 0; i + 1 < size; i++) lines += data[i] == '\n';
    FUZZ_CHECK(replayEventCount(replay) <= lines);
    inputReset();
    for (uint64_t frame = 0; frame < 40; frame++) {
        inputBeginFrame();
        ReplayFrame asked;
        replayApply(replay, frame, &asked);
        FUZZ_CHECK(!asked.timed || asked.frameNs <= 1000000000000u);
        checkState();
    }
    inputBeginFrame();
    ReplayFrame last;
    replayApply(replay, UINT64_MAX, &last);
    checkState();
    replayFree(replay);
    return 0;
}
