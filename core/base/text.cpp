// Text helpers.
#include <morven/text.h>

#include <cstring>

extern "C" {

MV_API char *mvLineEnd(const char *text) {
    if (!text) return nullptr;
    return const_cast<char *>(text + std::strcspn(text, "\r\n"));
}

}  // extern "C"
