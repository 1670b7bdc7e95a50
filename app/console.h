// Console output, fatal errors and the silent trace.
//
// The console is the process's standard error stream. `fatalError` is the one way the
// engine gives up: it prints its message and ends the process with exit code 1.
// `trace` is the engine's diagnostic channel; it is silent and costs nothing: the call
// compiles away and its arguments are never evaluated.
#pragma once

#include <cstdarg>

// Writes the whole text to the console (standard error).
void consoleWrite(const char* text);

// Formats into a 1024-byte buffer (longer output is cut at 1023 characters), writes it to
// the console and exits with code 1 through exit(), so exit handlers run and streams are
// flushed. Callable from any thread.
[[noreturn]] void fatalError(const char* format, ...) __attribute__((format(printf, 1, 2)));
[[noreturn]] void fatalErrorV(const char* format, va_list args);

// Formats like fatalError into a 1024-byte buffer; returns the buffer. Exposed for tests.
const char* formatFatalMessage(char (&buffer)[1024], const char* format, va_list args);

// Keeps the format checked and every name in the call "used" while generating no code.
inline void traceDiscard(const char*, ...) __attribute__((format(printf, 1, 2)));
inline void traceDiscard(const char*, ...) {}

// The call sits in a branch that is never taken, so no argument is evaluated.
#define trace(...)                            \
    do {                                      \
        if (false) traceDiscard(__VA_ARGS__); \
    } while (false)
