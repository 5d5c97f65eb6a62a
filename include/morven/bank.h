/* MORVEN: resource bank.
 *
 * Holds named resources of any kind. Asked for a name, the bank returns what it
 * already holds under that name; otherwise it turns the name into candidate
 * paths through its path-pattern list and calls its load callback with each
 * path in turn until one yields a resource, which it then holds under the name.
 *
 * Path patterns: alternatives separated by "|", tried left to right. In an
 * alternative "%s" stands for the name, "%%" for one "%". Blanks, tabs, CR, LF
 * and VT after a "%" are skipped ("% s" is the name too). A "%" followed by any
 * other byte passes through unchanged, and a "%" left open at the end of an
 * alternative emits nothing. Example: "data/%s.png|data/%s.bmp".
 *
 * Threads: a bank may be used on any thread, by one thread at a time; banks
 * on different threads need no locking. The callbacks run on the calling
 * thread, inside the call that needs them. */
#ifndef MORVEN_BANK_H
#define MORVEN_BANK_H

#include <morven/smap.h>

MV_EXTERN_C_BEGIN

/** Makes a resource from path (valid only during the call); data is what the
 * caller passed to mvBankLoad. Returns null when nothing could be made, and
 * may say why in mvGetError (as mvImageLoad does). */
typedef void *(*MVBankLoadFunction)(const char *path, void *data);

/** Releases a resource that the bank held. */
typedef void (*MVBankUnloadFunction)(void *resource);

typedef struct MVBank {
    MVSMap *map;                  /* requested name -> resource */
    char *path;                   /* the bank's copy of the pattern list */
    MVBankLoadFunction load;
    MVBankUnloadFunction unload;  /* may be null */
} MVBank;

/** A new bank with its own copy of the pattern list (null means "%s"). A null
 * load callback makes every miss return null. Returns null when out of
 * memory, with the reason in mvGetError. */
MV_API MVBank *mvBankCreate(const char *path, MVBankLoadFunction load, MVBankUnloadFunction unload);

/** Destroys the bank. Held resources are neither unloaded nor released (call
 * mvBankUnloadAll first for that); the bank's own memory (its copies of names
 * and patterns) is. Null is ignored. */
MV_API void mvBankDestroy(MVBank *bank);

/** The resource held under name, loading it on a miss; null when no
 * alternative yields one or memory runs out. On a miss mvGetError names every
 * path tried, each with the reason the load callback left in mvGetError
 * (cut short when the list is long). If the name cannot be recorded
 * the loaded resource is still returned but not held. name must not be null. */
MV_API void *mvBankLoad(MVBank *bank, const char *name, void *data);

/** Hands the resource held under name to the unload callback (when there is
 * one) and forgets it. A name not held, or null, does nothing. */
MV_API void mvBankUnload(MVBank *bank, const char *name);

/** Hands every held resource to the unload callback (when there is one) and
 * forgets it, releasing the bank's copies of the names. The bank stays usable
 * and loads anew on the next request. Null is ignored. */
MV_API void mvBankUnloadAll(MVBank *bank);

MV_EXTERN_C_END

#endif
