// Owned, NUL-terminated text of the geometry records; a null pointer means "absent".
#pragma once

#include <cstddef>
#include <memory>

using OwnedText = std::unique_ptr<char[]>;

// Copies `length` bytes of `text` into a new owned, NUL-terminated text.
OwnedText makeOwnedText(const char* text, size_t length);

// Copies a NUL-terminated text; null stays absent.
OwnedText copyOwnedText(const char* text);
