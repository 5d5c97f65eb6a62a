// Writing a whole file so that a failure never leaves a damaged one.
#ifndef MORVEN_CORE_BASE_REPLACE_FILE_H
#define MORVEN_CORE_BASE_REPLACE_FILE_H

#include <cstddef>

// Writes size bytes at data to path. A regular file (or a new one) is
// written to a temporary file in the same directory, flushed to disk and
// renamed over path only when every step succeeded; a device or FIFO that
// exists at path is written directly (without waiting for a reader); a
// directory is refused. A symbolic link is written through: the file it
// leads to is replaced (or made), and the link stays. False on any failure, with the reason (the system's
// words where it gave them) in why; the old file at path is then unchanged
// and no temporary file is left.
bool replaceFile(const char *path, const void *data, size_t size, char *why, size_t whySize);

#endif
