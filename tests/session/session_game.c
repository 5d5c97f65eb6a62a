/* A small game for the replay and recording tests: a banner blinks on a
 * repeating timer, a one-shot timer lights a lamp, a second repeating timer
 * counts ticks; the pointer, buttons, wheel, keys and typed text move marks
 * on the screen. It prints one summary line at the end, so that two runs
 * can be compared by their output and their last frame. */
#include <morven/clock.h>
#include <morven/draw.h>
#include <morven/engine.h>
#include <morven/error.h>
#include <morven/input.h>
#include <morven/timer.h>
#include <morven/window.h>

#include <stdio.h>
#include <string.h>

#define W 160
#define H 120

static int blinkOn, blinks, ticks, lampFrame = -1;
static long frame;

static void blink(MVTimer *timer, void *data) {
    (void)timer;
    (void)data;
    blinkOn = !blinkOn;
    blinks++;
}

static void tick(MVTimer *timer, void *data) {
    (void)timer;
    (void)data;
    ticks++;
}

static void lamp(MVTimer *timer, void *data) {
    (void)timer;
    (void)data;
    lampFrame = (int)frame;
}

static void rect(float x, float y, float w, float h) {
    mvDrawBegin(MV_DRAW_TRIANGLES);
    mvDrawVertex2f(x, y);
    mvDrawVertex2f(x + w, y);
    mvDrawVertex2f(x + w, y + h);
    mvDrawVertex2f(x, y);
    mvDrawVertex2f(x + w, y + h);
    mvDrawVertex2f(x, y + h);
    mvDrawEnd();
}

int main(void) {
    mvLoadModule("SDL");
    mvLoadModule("OpenGL");
    mvLoadModule("STB-Image");
    if (!mvInit(0) || !mvWindowOpen(W, H, 32, 0)) {
        fprintf(stderr, "session_game: %s\n", mvGetError());
        mvDeinit();
        return 1;
    }
    mvWindowSetTitle("session game");
    MVTimer *blinker = mvTimerCreate(0), *ticker = mvTimerCreate(0);
    mvTimerSetFunction(blinker, blink, NULL);
    mvTimerSetFunction(ticker, tick, NULL);
    mvTimerMStart(blinker, 250);
    mvTimerMStart(ticker, 40);
    mvTimerMSingle(700, lamp, NULL, 0);
    uint64_t start = mvGetTime();
    float wheel = 0, clickX = -1, clickY = -1;
    size_t typed = 0;
    unsigned keys = 0;
    char lastText[64] = "";
    while (mvLoop(0)) {
        mvTimerUpdateAll(0, 0);
        float x, y;
        mvInputMouse(&x, &y);
        if (mvInputMousePressed(MV_MOUSE_LEFT)) {
            clickX = x;
            clickY = y;
        }
        wheel += mvInputWheel();
        const char *text = mvInputText();
        if (*text) {
            typed += strlen(text);
            snprintf(lastText, sizeof lastText, "%s", text);
        }
        for (int key = 0; key < MV_KEY_COUNT; key++)
            if (mvInputKeyPressed(key)) keys++;
        mvDrawClearColor(0.1f, 0.1f, 0.2f);
        mvDrawClear();
        if (blinkOn) {
            mvDrawColor3f(1, 0.8f, 0);
            rect(10, 10, 140, 16);
        }
        if (lampFrame >= 0) {
            mvDrawColor3f(0, 1, 0);
            rect(140, 100, 12, 12);
        }
        mvDrawColor3f(1, 1, 1);
        rect((float)(int)x - 2, (float)(int)y - 2, 4, 4);
        if (clickX >= 0) {
            mvDrawColor3f(1, 0, 0);
            rect((float)(int)clickX - 3, (float)(int)clickY - 3, 6, 6);
        }
        mvDrawColor3f(0, 0.6f, 1);
        rect(10, 40, (float)(typed % 140), 6);
        rect(10, 50, (float)(keys % 140), 6);
        rect(80, 60 + (float)(((int)wheel % 40 + 40) % 40), 10, 4);
        rect(10, 110, (float)(ticks % 140), 4);
        mvWindowSwapBuffers();
        frame++;
    }
    printf("frames %ld blinks %d ticks %d lamp %d clock %llu ms wheel %g typed %zu \"%s\" keys %u\n", frame, blinks,
           ticks, lampFrame, (unsigned long long)((mvGetTime() - start) / 1000000u), wheel, typed, lastText, keys);
    mvTimerDestroy(blinker);
    mvTimerDestroy(ticker);
    mvDeinit();
    return 0;
}
