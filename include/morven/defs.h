/* MORVEN: common definitions shared by every public header.
 *
 * Failures: every call that reports a failure (by returning false, null or
 * a documented failure value) leaves one line saying why in mvGetError
 * (<morven/error.h>); errors of the system carry its own words for them.
 *
 * Arguments with fixed values: flags that must be 0 or a combination of
 * the flags a header names, and bits per pixel that must be 32 (or 0, where
 * a header says so, for 32). Every call treats any other value the same way:
 * a call that can report failure refuses it, changes nothing and names the
 * argument and its value in mvGetError; a call with no failure to report
 * (mvLoop, whose false means "stop", and the drawing calls) works as if the
 * argument had been 0 and says so once on standard error. */
#ifndef MORVEN_DEFS_H
#define MORVEN_DEFS_H

#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>

/** MV_API marks a function exported from libMORVEN.so; everything else stays hidden. */
#if defined(MORVEN_BUILDING)
#define MV_API __attribute__((visibility("default")))
#else
#define MV_API
#endif

#ifdef __cplusplus
#define MV_EXTERN_C_BEGIN extern "C" {
#define MV_EXTERN_C_END }
#else
#define MV_EXTERN_C_BEGIN
#define MV_EXTERN_C_END
#endif

MV_EXTERN_C_BEGIN

/** Orders two keys or items like strcmp: negative, zero or positive. */
typedef int (*MVCompareFunction)(const void *a, const void *b);

MV_EXTERN_C_END

#endif
