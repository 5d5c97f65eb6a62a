/* MORVEN: common definitions shared by every public header. */
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
