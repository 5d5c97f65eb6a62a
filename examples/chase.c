/* Chase: a dart chases the mouse pointer around a 640 x 480 window. It turns
 * towards the pointer by at most 4 radians a second and flies forward at 200
 * pixels a second (twice that while the left button is held), leaving a
 * trail whose colour tells how far the pointer is. Space lifts the pen while
 * held; Escape or closing the window ends the chase. The dart's image is
 * found through a resource bank, decoded by the "STB-Image" module and
 * packed into an atlas; without the module a dart is drawn from triangles.
 * Each catch (the dart comes within 16 pixels of the pointer after having
 * been farther away) plays a short sound, decoded by the "Sound" module
 * (without it the chase is silent). At the end one line tells how often
 * the dart caught the pointer, and in which frames. */
#include <math.h>
#include <stdio.h>

#include <morven/angle.h>
#include <morven/atlas.h>
#include <morven/bank.h>
#include <morven/draw.h>
#include <morven/engine.h>
#include <morven/error.h>
#include <morven/gradient.h>
#include <morven/image.h>
#include <morven/input.h>
#include <morven/sound.h>
#include <morven/trail.h>
#include <morven/window.h>

/* Where the bank looks for images: "|" between alternatives, "%s" the name. */
#ifndef CHASE_IMAGE_PATHS
#define CHASE_IMAGE_PATHS "assets/%s"
#endif

/* Where the bank looks for sounds. */
#ifndef CHASE_SOUND_PATHS
#define CHASE_SOUND_PATHS "assets/%s"
#endif

#define WIDTH 640
#define HEIGHT 480
#define TURN_RATE 4.0f   /* radians per second */
#define SPEED 200.0f     /* pixels per second */
#define CATCH_RANGE 16.0f
#define SPRITE_SIZE 32.0f
#define TRAIL_POINTS 64
#define MOST_CATCHES_LISTED 32

/* The trail's colour by the pointer's distance: red when close, through
 * violet, to cyan when far. One gradient per colour component. */
typedef struct Palette {
    MVGradient *red, *green, *blue;
} Palette;

static MVGradient *ramp(float near, float middle, float far) {
    MVGradient *g = mvGradientCreate();
    mvGradientSetStopIndex(g, 0, near);
    mvGradientSetStopIndex(g, 1, far);
    mvGradientSetStopKey(g, 0.5f, middle);
    mvGradientSetInterp(g, MV_GRADIENT_COSINE);
    return g;
}

/* Reading 0 (close) to 1 (400 pixels or more). */
static void paletteColour(const Palette *p, float distance, float rgb[3]) {
    float t = distance / 400.0f;
    rgb[0] = mvGradientGetValue(p->red, t);
    rgb[1] = mvGradientGetValue(p->green, t);
    rgb[2] = mvGradientGetValue(p->blue, t);
}

/* The dart's image packed into the atlas, or null when it cannot be loaded. */
static const MVAtlasArea *loadDart(MVAtlas *atlas) {
    MVBank *images = mvBankCreate(CHASE_IMAGE_PATHS, mvImageLoad, mvImageFree);
    const MVImage *image = images ? mvBankLoad(images, "chaser.png", NULL) : NULL;
    const MVAtlasArea *area = image ? mvAtlasAreaFromImage(atlas, image, 1) : NULL;
    if (!area) fprintf(stderr, "chase: no dart image: %s; drawing a plain dart\n", mvGetError());
    if (images) mvBankUnload(images, "chaser.png"); /* the atlas keeps its own copy of the pixels */
    mvBankDestroy(images);
    return area;
}

/* The stand-in dart: an amber arrowhead pointing along the heading. */
static void drawPlainDart(float x, float y, float heading) {
    static const float shape[4][2] = {{14, 0}, {-14, -14}, {-6, 0}, {-14, 14}};
    float c = cosf(heading), s = sinf(heading), corner[4][2];
    for (int i = 0; i < 4; i++) {
        corner[i][0] = x + c * shape[i][0] - s * shape[i][1];
        corner[i][1] = y + s * shape[i][0] + c * shape[i][1];
    }
    mvDrawColor3f(1.0f, 196.0f / 255.0f, 0.0f);
    mvDrawBegin(MV_DRAW_TRIANGLES);
    for (int i = 0; i < 6; i++) {
        static const int order[6] = {0, 1, 2, 0, 2, 3};
        mvDrawVertex2f(corner[order[i]][0], corner[order[i]][1]);
    }
    mvDrawEnd();
}

int main(void) {
    mvLoadModule("SDL");
    mvLoadModule("OpenGL");
    mvLoadModule("STB-Image");
    mvLoadModule("Sound");
    if (!mvInit(0) || !mvWindowOpen(WIDTH, HEIGHT, 32, 0)) {
        fprintf(stderr, "chase: %s\n", mvGetError());
        mvDeinit();
        return 1;
    }
    mvWindowSetTitle("MORVEN Chase");
    mvDrawClearColor(0.06f, 0.07f, 0.12f);
    mvDrawClear();

    MVAtlas *atlas = mvAtlasCreate(64, 64, 32);
    const MVAtlasArea *dart = loadDart(atlas);
    MVBank *sounds = mvBankCreate(CHASE_SOUND_PATHS, mvSoundBankLoad, mvSoundBankUnload);
    MVSound *ping = sounds ? mvBankLoad(sounds, "catch.wav", NULL) : NULL;
    if (!ping) fprintf(stderr, "chase: no catch sound: %s; chasing in silence\n", mvGetError());
    MVTrail *trail = mvTrailCreate(TRAIL_POINTS);
    Palette palette = {ramp(1.0f, 0.7f, 0.1f), ramp(0.2f, 0.3f, 0.9f), ramp(0.2f, 1.0f, 1.0f)};

    float x = WIDTH / 2.0f, y = HEIGHT / 2.0f, heading = 0.0f;
    unsigned long frames = 0, catches = 0, caughtAt[MOST_CATCHES_LISTED];
    int away = 0; /* the pointer was out of range since the last catch */
    while (mvLoop(0)) {
        float dt = (float)mvFrameTime();
        float mouseX, mouseY;
        unsigned buttons = mvInputMouse(&mouseX, &mouseY);

        /* Turn towards the pointer as far as this frame allows, then fly on. */
        float wanted = atan2f(mouseY - y, mouseX - x);
        float turn = mvAngleDifferenceRads(heading, wanted);
        float most = TURN_RATE * dt;
        heading = mvAngleDifferenceRads(0.0f, heading + (turn > most ? most : turn < -most ? -most : turn));
        float speed = buttons & MV_MOUSE_LEFT ? 2.0f * SPEED : SPEED;
        x += cosf(heading) * speed * dt;
        y += sinf(heading) * speed * dt;

        float distance = hypotf(mouseX - x, mouseY - y);
        if (distance > CATCH_RANGE) {
            away = 1;
        } else if (away) {
            if (catches < MOST_CATCHES_LISTED) caughtAt[catches] = frames;
            catches++;
            away = 0;
            /* Heard from where the dart is: -1 at the left edge, +1 at the right. */
            mvSoundPlay(ping, 0.8f, x / WIDTH * 2.0f - 1.0f, false);
        }

        if (mvInputKeyPressed(MV_KEY_SPACE)) mvTrailAddBreak(trail);
        if (!mvInputKeyDown(MV_KEY_SPACE)) mvTrailAddPoint2f(trail, x, y);

        float rgb[3];
        paletteColour(&palette, distance, rgb);
        mvTrailDrawColor3f(trail, rgb[0], rgb[1], rgb[2]);
        if (dart) {
            mvDrawColor1f(1.0f);
            mvAtlasDrawArea(atlas, dart, x, y, SPRITE_SIZE, SPRITE_SIZE, heading);
        } else {
            drawPlainDart(x, y, heading);
        }
        char rate[32];
        snprintf(rate, sizeof rate, "%.0f fps", dt > 0.0f ? 1.0f / dt : 0.0f);
        mvDrawColor3f(0.85f, 0.9f, 1.0f);
        mvDrawText(8.0f, 8.0f, 16.0f, rate);

        mvWindowSwapBuffers();
        mvDrawClear();
        frames++;
    }
    printf("Chased for %lu frames, caught the pointer %lu times", frames, catches);
    for (unsigned long i = 0; i < catches && i < MOST_CATCHES_LISTED; i++)
        printf("%s%lu", i ? " " : ", in frames ", caughtAt[i]);
    printf("\n");

    mvGradientDestroy(palette.red);
    mvGradientDestroy(palette.green);
    mvGradientDestroy(palette.blue);
    mvTrailDestroy(trail);
    mvBankUnloadAll(sounds); /* frees the sound; a ping still playing fades out */
    mvBankDestroy(sounds);
    mvAtlasDestroy(atlas);
    mvDeinit();
    return 0;
}
