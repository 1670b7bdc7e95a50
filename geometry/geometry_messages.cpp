// Console messages of the geometry loaders.
#include "geometry/geometry_messages.h"

#include <cstdarg>
#include <cstdio>

#include "app/console.h"

void geometryMessage(const char* format, ...) {
    char buffer[1024];
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (n < 0) return;
    consoleWrite(buffer);
}
