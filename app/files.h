// Whole-file helpers: read from an offset to the end, read a part, save.
// They report failure only through their result; callers decide what it means.
#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>

// Opens `path` for reading ("rb") only when it names a regular file (or a link to one).
// Directories, FIFOs, sockets and devices such as /dev/zero are refused without blocking:
// the result is null, as for a missing file, and the caller reports it as it reports any
// file it cannot open. Every input file of the engine and its tools is opened this way.
std::FILE* openInputFile(const char* path);

// Reads from `offset` to the end of the (regular) file into a new buffer. On success the buffer
// holds `size` bytes. Returns false, with a null buffer and size 0, when the file cannot
// be opened or holds no bytes past the offset.
bool readWholeFile(const char* path, long offset, std::unique_ptr<unsigned char[]>& buffer,
                   long& size);

// Reads up to `count` bytes from `offset` into `destination`. Returns false only when
// the file cannot be opened. When `bytesRead` is given it receives how many bytes were
// actually read (the file may be shorter than asked).
bool readFilePart(const char* path, long offset, size_t count, void* destination,
                  size_t* bytesRead = nullptr);

// Creates or replaces the file with `count` bytes of `data`. Returns false when the file
// cannot be opened for writing.
bool saveFile(const char* path, const void* data, size_t count);
