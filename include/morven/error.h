/* MORVEN: the last failure, in words.
 *
 * Calls that fail (a module not found, a plugin that refuses, a window that
 * does not open, an image that does not decode, a screenshot that is not
 * written) leave one line here saying why. Each thread has its own message,
 * so this may be called from any thread. */
#ifndef MORVEN_ERROR_H
#define MORVEN_ERROR_H

#include <morven/defs.h>

MV_EXTERN_C_BEGIN

/** The last failure of the calling thread in one line, without a line end;
 * "" when there has been none since the thread started or since
 * mvClearError. The text stays valid until the thread's next MORVEN call. */
MV_API const char *mvGetError(void);

/** Forgets the calling thread's last failure, so mvGetError gives "". */
MV_API void mvClearError(void);

MV_EXTERN_C_END

#endif
