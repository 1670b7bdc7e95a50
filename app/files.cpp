// Whole-file helpers.
#include "app/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "app/console.h"

std::FILE* openInputFile(const char* path) {
    if (path == nullptr) return nullptr;
    // Non-blocking, so that opening a FIFO with no writer returns at once; the flag is
    // cleared again before a regular file is read.
    int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    int flags = ::fcntl(fd, F_GETFL);
    if (flags != -1) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    std::FILE* file = ::fdopen(fd, "rb");
    if (file == nullptr) ::close(fd);
    return file;
}

namespace {
// A file opened for the length of one helper call.
struct OpenFile {
    std::FILE* file;
    explicit OpenFile(std::FILE* opened) : file(opened) {}
    ~OpenFile() {
        if (file != nullptr) std::fclose(file);
    }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
};
}  // namespace

bool readWholeFile(const char* path, long offset, std::unique_ptr<unsigned char[]>& buffer,
                   long& size) {
    buffer.reset();
    size = 0;
    long length = -1;
    {
        OpenFile f(openInputFile(path));
        if (f.file != nullptr && std::fseek(f.file, 0, SEEK_END) == 0) {
            length = std::ftell(f.file);
        } else {
            trace("Error: Can't open file %s\n", path);
        }
    }
    if (offset < 0) offset = 0;
    long n = length - offset;
    if (n <= 0) return false;

    OpenFile f(openInputFile(path));
    if (f.file == nullptr) return false;
    if (std::fseek(f.file, offset, SEEK_SET) != 0) return false;
    std::unique_ptr<unsigned char[]> data(new unsigned char[static_cast<size_t>(n)]);
    trace("Reading file %s (from: %d size: %d)\n", path, static_cast<int>(offset),
          static_cast<int>(n));
    // The file may have shrunk since its length was taken: keep only what was read.
    size_t got = std::fread(data.get(), 1, static_cast<size_t>(n), f.file);
    if (got == 0) return false;
    buffer = std::move(data);
    size = static_cast<long>(got);
    return true;
}

bool readFilePart(const char* path, long offset, size_t count, void* destination,
                  size_t* bytesRead) {
    if (bytesRead != nullptr) *bytesRead = 0;
    OpenFile f(openInputFile(path));
    if (f.file == nullptr) {
        trace("Error: Can't open file %s\n", path);
        return false;
    }
    size_t got = 0;
    if (offset >= 0 && std::fseek(f.file, offset, SEEK_SET) == 0) {
        got = std::fread(destination, 1, count, f.file);
    }
    if (bytesRead != nullptr) *bytesRead = got;
    return true;
}

bool saveFile(const char* path, const void* data, size_t count) {
    trace("Saving %s (%d bytes)\n", path, static_cast<int>(count));
    OpenFile f(std::fopen(path, "wb"));
    if (f.file == nullptr) {
        trace("Error: Can't open file %s\n", path);
        return false;
    }
    if (count > 0) std::fwrite(data, 1, count, f.file);
    return true;
}
