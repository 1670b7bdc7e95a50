// Owned text helpers.
#include "geometry/owned_text.h"

#include <cstring>

OwnedText makeOwnedText(const char* text, size_t length) {
    OwnedText copy(new char[length + 1]);
    if (length > 0) std::memcpy(copy.get(), text, length);
    copy[length] = '\0';
    return copy;
}

OwnedText copyOwnedText(const char* text) {
    if (text == nullptr) return nullptr;
    return makeOwnedText(text, std::strlen(text));
}
