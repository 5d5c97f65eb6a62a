/* Atlas demo: packs 256 randomly sized gradient tiles into one 256 x 256
 * texture atlas, reports how many fitted, and shows the atlas every frame
 * (the image in white, the area frames in green) until the main loop ends. */
#include <stdio.h>
#include <stdlib.h>

#include <morven/atlas.h>
#include <morven/draw.h>
#include <morven/engine.h>
#include <morven/window.h>

/* Staging image for one area at a time: RGBA rows without gaps. */
unsigned char data[65536];

/* Writes the tile image of the area into data and hands it to the atlas. */
static void fillArea(MVAtlas *atlas, MVAtlasArea *area) {
    unsigned w = area->w;
    unsigned h = area->h;
    for (unsigned i = 0; i < w; i++) {
        for (unsigned j = 0; j < h; j++) {
            unsigned char *pixel = data + 4 * (i + j * w);
            pixel[0] = (unsigned char)(int)((float)i / (float)w * 255.0f);
            pixel[1] = (unsigned char)(int)((float)j / (float)h * 255.0f);
            pixel[2] = 127;
            pixel[3] = 255;
        }
    }
    mvAtlasAreaSetData(atlas, area, (int)w, (int)h, 32, data);
}

int main(void) {
    mvLoadModule("SDL");
    mvLoadModule("OpenGL");
    mvLoadModule("STB-Image");
    mvInit(0);
    mvWindowOpen(640, 480, 32, 0);
    mvWindowSetTitle("MORVEN Atlas Demo");

    MVAtlas *atlas = mvAtlasCreate(256, 256, 32);
    unsigned inserted = 0;
    for (int attempt = 0; attempt < 256; attempt++) {
        int first = rand();
        int second = rand();
        int64_t w = 12 + first % 5;
        int64_t h = 12 + second % 5;
        MVAtlasArea *area = mvAtlasAreaReserve(atlas, w, h, 0);
        if (area) {
            fillArea(atlas, area);
            inserted++;
        }
    }
    printf("Successfully inserted: %u/%u items\n", inserted, 256u);

    while (mvLoop(0)) {
        mvDrawColor1f(1.0f);
        mvAtlasDrawDBG(atlas, 192.0f, 112.0f, 0, 0);
        mvDrawColor3f(0.0f, 1.0f, 0.0f);
        mvAtlasDrawDBG(atlas, 192.0f, 112.0f, 0, 1);
        mvWindowSwapBuffers();
        mvDrawClear();
    }

    mvAtlasDestroy(atlas);
    /* False when the screenshot asked for (MORVEN_SCREENSHOT) was not written. */
    return mvDeinit() ? 0 : 1;
}
