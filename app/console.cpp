// Console output and fatal errors.
#include "app/console.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

void consoleWrite(const char* text) {
    if (text == nullptr) return;
    std::fwrite(text, 1, std::strlen(text), stderr);
    std::fflush(stderr);
}

const char* formatFatalMessage(char (&buffer)[1024], const char* format, va_list args) {
    int n = std::vsnprintf(buffer, sizeof buffer, format, args);
    if (n < 0) buffer[0] = '\0';
    return buffer;
}

void fatalErrorV(const char* format, va_list args) {
    char buffer[1024];
    consoleWrite(formatFatalMessage(buffer, format, args));
    std::exit(1);
}

void fatalError(const char* format, ...) {
    va_list args;
    va_start(args, format);
    fatalErrorV(format, args);
}
