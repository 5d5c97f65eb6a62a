/* Chase: a dart chases the mouse pointer around a 640 x 480 window. It turns
 * towards the pointer by at most 4 radians a second and flies forward at 200
 * pixels a second (twice that while the left button is held), leaving a
 * trail whose colour tells how far the pointer is. Space lifts the pen while
 * held; Escape or closing the window ends the chase. The dart's image is
 * found through a resource bank, decoded by the "Image" module and
 * packed into an atlas; without the module a dart is drawn from triangles.
 * Each catch (the dart comes within 16 pixels of the pointer after having
 * been farther away) plays a short sound, decoded by the "Sound" module
 * (without it the chase is silent). At the end one line tells how often
 * the dart caught the pointer, and in which frames. */
#if defined(__linux__)
#define _DEFAULT_SOURCE 1 /* readlink */
#include <unistd.h>
#elif defined(__FreeBSD__)
#include <sys/types.h>
#include <sys/sysctl.h>
#endif
#include <math.h>
#include <stdio.h>
#include <string.h>

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

/* Where the image and sound lie relative to the program's own directory: the build
 * sets it to where it installs the data (and copies the data to the same
 * place in the build tree). */
#ifndef CHASE_DATA_FROM_PROGRAM
#define CHASE_DATA_FROM_PROGRAM "../share/morven"
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

/* The directory that holds this program, into dir; 0 where the system cannot
 * tell (then only the working directory is searched). */
static int programDirectory(char *dir, size_t size) {
    size_t n = 0;
#if defined(__linux__)
    ssize_t got = readlink("/proc/self/exe", dir, size);
    if (got <= 0 || (size_t)got >= size) return 0;
    n = (size_t)got;
#elif defined(__FreeBSD__)
    int name[4] = {CTL_KERN, KERN_PROC, KERN_PROC_PATHNAME, -1};
    size_t length = size;
    if (sysctl(name, 4, dir, &length, NULL, 0) != 0 || length == 0 || length > size) return 0;
    n = strnlen(dir, length);
    if (n == size) return 0;
#else
    (void)size;
    return 0;
#endif
    dir[n] = '\0';
    char *slash = strrchr(dir, '/');
    if (!slash) return 0;
    *slash = '\0';
    return 1;
}

/* The banks' patterns (images and sounds): "assets/%s" beside the working directory, then the
 * data directory beside the program. "|" separates alternatives and cannot
 * be quoted, so a program directory holding one is left out; "%" is doubled. */
static void dataPaths(char *paths, size_t size) {
    char dir[4096];
    snprintf(paths, size, "assets/%%s");
    if (!programDirectory(dir, sizeof dir) || strchr(dir, '|')) return;
    size_t at = strlen(paths);
    const char *parts[3] = {"|", dir, "/" CHASE_DATA_FROM_PROGRAM "/%s"};
    for (int part = 0; part < 3; part++) {
        for (const char *c = parts[part]; *c; c++) {
            int doubled = part == 1 && *c == '%';
            if (at + 2 + (size_t)doubled >= size) {
                snprintf(paths, size, "assets/%%s");
                return;
            }
            if (doubled) paths[at++] = '%';
            paths[at++] = *c;
        }
    }
    paths[at] = '\0';
}

/* The dart's image packed into the atlas, or null when it cannot be loaded. */
static const MVAtlasArea *loadDart(MVAtlas *atlas) {
    char paths[4200];
    dataPaths(paths, sizeof paths);
    MVBank *images = mvBankCreate(paths, mvImageLoad, mvImageFree);
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
    mvLoadModule("Image");
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
    char paths[4200];
    dataPaths(paths, sizeof paths);
    MVBank *sounds = mvBankCreate(paths, mvSoundBankLoad, mvSoundBankUnload);
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
    /* False when the screenshot asked for (MORVEN_SCREENSHOT) was not written. */
    return mvDeinit() ? 0 : 1;
}
