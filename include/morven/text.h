/* MORVEN: text helpers for zero-terminated byte strings.
 *
 * Threads: any thread. */
#ifndef MORVEN_TEXT_H
#define MORVEN_TEXT_H

#include <morven/defs.h>

MV_EXTERN_C_BEGIN

/** Points at the first carriage return or line feed of text, or at its
 * terminating zero when it has none. Writing a zero there cuts the text to
 * its first line. The result points into text; null text gives null. */
MV_API char *mvLineEnd(const char *text);

MV_EXTERN_C_END

#endif
