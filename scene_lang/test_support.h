// Helpers shared by the scene language tests: capturing printed messages in memory.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

// A FILE* whose contents can be read back as a string.
class MessageCapture {
  public:
    MessageCapture() : file_(open_memstream(&buffer_, &size_)) {}
    ~MessageCapture() {
        std::fclose(file_);
        std::free(buffer_);
    }
    MessageCapture(const MessageCapture&) = delete;
    MessageCapture& operator=(const MessageCapture&) = delete;

    FILE* file() const { return file_; }
    std::string text() {
        std::fflush(file_);
        return std::string(buffer_, size_);
    }

  private:
    char* buffer_ = nullptr;
    size_t size_ = 0;
    FILE* file_;
};
