// The calling thread's last failure, as mvGetError reports it.
#ifndef MORVEN_CORE_BASE_ERROR_H
#define MORVEN_CORE_BASE_ERROR_H

// Records a one-line message (printf format) as this thread's last failure.
// Longer messages are cut; a line end in the text is replaced by a space.
void setError(const char *format, ...) __attribute__((format(printf, 1, 2)));

#endif
