// The calling thread's last failure, as mvGetError reports it.
#ifndef MORVEN_CORE_BASE_ERROR_H
#define MORVEN_CORE_BASE_ERROR_H

// Records a one-line message (printf format) as this thread's last failure.
// Longer messages are cut; a line end in the text is replaced by a space.
void mvCoreSetError(const char *format, ...) __attribute__((format(printf, 1, 2)));

// Records "<call>: <what> must be <allowed>, not <value>" as the failure of
// a call refusing an argument outside its fixed values (<morven/defs.h>).
void refuseArgument(const char *call, const char *what, const char *allowed, long value);

// For calls with no failure to report: says on standard error that the
// argument is ignored, once per process for each call that passes its own
// `once` flag (zero-initialised, static).
void ignoreArgument(int *once, const char *call, const char *what, const char *allowed, long value);

// Records "<what>: <strerror(error)>" as the failure, for a system call's errno.
void setSystemError(int error, const char *format, ...) __attribute__((format(printf, 2, 3)));

#endif
