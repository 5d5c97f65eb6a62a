// Where libMORVEN.so itself lies, so that it can find the modules installed
// beside it wherever the install was moved.
#ifndef MORVEN_CORE_ENGINE_OWN_DIRECTORY_H
#define MORVEN_CORE_ENGINE_OWN_DIRECTORY_H

#include <cstddef>

// Writes the directory that holds this library (or the program it is linked
// into) to dir: an absolute path, resolved when the library was loaded, so
// that a later change of the working directory does not move it. No final
// '/' (except for the root itself). False when it cannot be told or does not
// fit in size bytes.
bool ownDirectory(char *dir, size_t size);

#endif
