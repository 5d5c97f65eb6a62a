/* Shapes: a ball rolls around a walled yard four times the size of the
 * 640 x 480 window, steered with the arrow keys; the camera follows it,
 * the mouse wheel zooms (or Z and X), and the view shakes when the ball hits
 * a wall. The yard is drawn from rectangles, circles, their outlines and
 * wide lines; flags are one small sprite, mirrored to face either way. The
 * clicked point (mapped back into the yard) is marked with a ring. The
 * ball glows (additive blending), and a minimap in the corner is drawn each
 * frame into an area of the atlas, then drawn from it as a sprite. Text is
 * TrueType (DejaVu Sans, when fonts-dejavu-core is installed) with the
 * built-in font as a fallback. Escape or closing the window ends it, with
 * one line telling how many walls the ball hit. */
#include <math.h>
#include <stdio.h>

#include <morven/atlas.h>
#include <morven/draw.h>
#include <morven/engine.h>
#include <morven/error.h>
#include <morven/font.h>
#include <morven/input.h>
#include <morven/window.h>

#define WIDTH 640
#define HEIGHT 480
#define YARD_W 1280.0f
#define YARD_H 960.0f
#define RADIUS 18.0f
#define FONT_PATH "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
#define MAP_W 128
#define MAP_H 96

/* A 12 x 8 flag: a red field with a white band, its pole side on the left. */
static MVAtlasArea *makeFlag(MVAtlas *atlas) {
    unsigned char texels[12 * 8 * 4];
    for (int y = 0; y < 8; y++)
        for (int x = 0; x < 12; x++) {
            unsigned char *t = texels + 4 * (y * 12 + x);
            int band = y >= 3 && y <= 4, pole = x == 0;
            t[0] = pole ? 90 : 220;
            t[1] = pole ? 60 : band ? 240 : 40;
            t[2] = pole ? 30 : band ? 240 : 50;
            t[3] = 255;
        }
    MVImage image = {12, 8, texels};
    return mvAtlasAreaFromImage(atlas, &image, 1);
}

/* The yard at a tenth of its size into the map's area: ponds, the ball and
 * the part of the yard in view. */
static void drawMinimap(MVAtlas *atlas, MVAtlasArea *map, float x, float y, float zoom) {
    if (!mvAtlasBeginDraw(atlas, map)) return;
    mvDrawScale2f(MAP_W / YARD_W, MAP_H / YARD_H);
    mvDrawClearColor(0.05f, 0.08f, 0.05f);
    mvDrawClear();
    mvDrawColor3f(0.2f, 0.4f, 0.9f);
    for (int i = 0; i < 5; i++) mvDrawCircle(200.0f + 220.0f * i, 200.0f + 130.0f * (i % 3), 40.0f + 10.0f * i);
    mvDrawColor3f(1.0f, 0.9f, 0.6f);
    mvDrawCircle(x, y, 3 * RADIUS);
    mvDrawLineWidth(10.0f);
    mvDrawColor4f(1.0f, 1.0f, 1.0f, 0.8f);
    mvDrawRectLines(x - WIDTH / 2 / zoom, y - HEIGHT / 2 / zoom, WIDTH / zoom, HEIGHT / zoom);
    mvDrawLineWidth(1.0f);
    mvAtlasEndDraw();
}

static void drawText(MVFont *font, float x, float y, const char *text) {
    if (font)
        mvFontDraw(font, x, y, text);
    else
        mvDrawText(x, y, 16.0f, text);
}

int main(void) {
    mvLoadModule("SDL");
    mvLoadModule("OpenGL");
    if (!mvInit(0) || !mvWindowOpen(WIDTH, HEIGHT, 32, 0)) {
        fprintf(stderr, "shapes: %s\n", mvGetError());
        mvDeinit();
        return 1;
    }
    mvWindowSetTitle("MORVEN Shapes");
    mvDrawClearColor(0.10f, 0.14f, 0.10f);
    mvDrawClear();
    MVFont *font = mvFontLoad(FONT_PATH, 18.0f);
    if (!font) fprintf(stderr, "shapes: %s; using the built-in font\n", mvGetError());
    MVAtlas *atlas = mvAtlasCreate(256, 128, 32);
    MVAtlasArea *flag = makeFlag(atlas);
    MVAtlasArea *map = mvAtlasAreaReserve(atlas, MAP_W, MAP_H, 1);

    float x = YARD_W / 2, y = YARD_H / 2, vx = 120.0f, vy = 80.0f;
    float zoom = 1.0f, shake = 0.0f, markX = -1000.0f, markY = -1000.0f;
    unsigned long frames = 0, hits = 0;
    while (mvLoop(0)) {
        float dt = (float)mvFrameTime();
        float push = 300.0f * dt;
        if (mvInputKeyDown(MV_KEY_LEFT)) vx -= push;
        if (mvInputKeyDown(MV_KEY_RIGHT)) vx += push;
        if (mvInputKeyDown(MV_KEY_UP)) vy -= push;
        if (mvInputKeyDown(MV_KEY_DOWN)) vy += push;
        x += vx * dt;
        y += vy * dt;
        /* Bounce off the walls; each hit shakes the view for a moment. */
        if (x < RADIUS || x > YARD_W - RADIUS) {
            vx = -vx;
            x = x < RADIUS ? RADIUS : YARD_W - RADIUS;
            shake = 0.3f;
            hits++;
        }
        if (y < RADIUS || y > YARD_H - RADIUS) {
            vy = -vy;
            y = y < RADIUS ? RADIUS : YARD_H - RADIUS;
            shake = 0.3f;
            hits++;
        }
        zoom *= powf(1.1f, mvInputWheel());
        if (mvInputKeyDown(MV_KEY_Z)) zoom *= 1.0f + dt;
        if (mvInputKeyDown(MV_KEY_X)) zoom /= 1.0f + dt;
        zoom = zoom < 0.25f ? 0.25f : zoom > 4.0f ? 4.0f : zoom;
        shake = shake > dt ? shake - dt : 0.0f;

        /* The camera: the ball at the centre, zoomed, shaken. */
        float shakeX = shake > 0 ? 12.0f * shake * sinf(frames * 2.1f) : 0.0f;
        float shakeY = shake > 0 ? 12.0f * shake * cosf(frames * 1.7f) : 0.0f;
        mvDrawResetTransform();
        mvDrawTranslate2f(WIDTH / 2 + shakeX, HEIGHT / 2 + shakeY);
        mvDrawScale2f(zoom, zoom);
        mvDrawTranslate2f(-x, -y);

        float mouseX, mouseY;
        if (mvInputMousePressed(MV_MOUSE_LEFT)) {
            mvInputMouse(&mouseX, &mouseY);
            mvDrawToWorld2f(mouseX, mouseY, &markX, &markY);
        }

        /* The yard: a floor of tiles, the wall, a path, ponds and flags. */
        for (int ty = 0; ty < 12; ty++)
            for (int tx = 0; tx < 16; tx++) {
                float shade = (tx + ty) % 2 ? 0.22f : 0.26f;
                mvDrawColor3f(shade * 0.8f, shade, shade * 0.7f);
                mvDrawRect(tx * 80.0f, ty * 80.0f, 80.0f, 80.0f);
            }
        mvDrawLineWidth(8.0f);
        mvDrawColor3f(0.55f, 0.45f, 0.35f);
        mvDrawRectLines(0, 0, YARD_W, YARD_H);
        mvDrawLineWidth(14.0f);
        mvDrawColor4f(0.75f, 0.65f, 0.45f, 0.6f);
        mvDrawBegin(MV_DRAW_LINE_STRIP);
        for (int i = 0; i <= 16; i++) mvDrawVertex2f(80.0f * i, YARD_H / 2 + 160.0f * sinf(i * 0.7f));
        mvDrawEnd();
        mvDrawLineWidth(3.0f);
        for (int i = 0; i < 5; i++) {
            float px = 200.0f + 220.0f * i, py = 200.0f + 130.0f * (i % 3);
            mvDrawColor4f(0.2f, 0.4f, 0.9f, 0.7f);
            mvDrawCircle(px, py, 40.0f + 10.0f * i);
            mvDrawColor3f(0.7f, 0.85f, 1.0f);
            mvDrawCircleLines(px, py, 40.0f + 10.0f * i);
            mvDrawColor1f(1.0f);
            float facing = i % 2 ? -1.0f : 1.0f; /* every other flag faces left */
            mvAtlasDrawArea(atlas, flag, px + facing * 20.0f, py - 70.0f, facing * 36.0f, 24.0f, 0.0f);
        }
        mvDrawColor3f(1.0f, 0.85f, 0.2f);
        mvDrawCircleLines(markX, markY, 10.0f);
        /* A glow: rings of light added to what lies under the ball. */
        mvDrawBlend(MV_BLEND_ADD);
        for (int i = 0; i < 4; i++) {
            mvDrawColor4f(1.0f, 0.45f, 0.15f, 0.12f);
            mvDrawCircle(x, y, RADIUS * (1.6f + 0.5f * i));
        }
        mvDrawBlend(MV_BLEND_ALPHA);
        mvDrawColor3f(1.0f, 64 / 255.0f, 32 / 255.0f);
        mvDrawCircle(x, y, RADIUS);
        mvDrawLineWidth(1.0f);

        /* The text and the minimap stay put on screen. */
        drawMinimap(atlas, map, x, y, zoom);
        mvDrawResetTransform();
        mvDrawColor4f(1.0f, 1.0f, 1.0f, 0.85f);
        mvAtlasDrawArea(atlas, map, WIDTH - MAP_W / 2 - 8, 38 + MAP_H / 2, MAP_W, MAP_H, 0.0f);
        char line[96];
        snprintf(line, sizeof line, "Zoom %.2f   walls hit: %lu   héllo wörld", zoom, hits);
        mvDrawColor4f(0, 0, 0, 0.5f);
        mvDrawRect(0, 0, WIDTH, 30);
        mvDrawColor3f(1.0f, 1.0f, 0.9f);
        drawText(font, 8, 4, line);

        mvWindowSwapBuffers();
        mvDrawClear();
        frames++;
    }
    printf("Rolled for %lu frames, hit the walls %lu times\n", frames, hits);
    mvFontFree(font);
    mvAtlasDestroy(atlas);
    mvDeinit();
    return 0;
}
