// Messages of the geometry loaders for damaged or incomplete input: printed on the console
// (standard error), naming the file or entry, after which loading goes on with a safe
// default.
#pragma once

// Formats like printf into a 1024-byte buffer and writes it with consoleWrite.
void geometryMessage(const char* format, ...) __attribute__((format(printf, 1, 2)));
