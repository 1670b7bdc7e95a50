// Splitting the command line in place.
#include "app/command_line.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <string_view>

CommandLine commandLine;

namespace {
char programName[] = "RuvIdev";
constexpr int kScanLimit = 1022;
}  // namespace

char** splitCommandLine(const char* text, int* argc) {
    CommandLine& line = commandLine;
    std::fill(std::begin(line.argv), std::end(line.argv), nullptr);
    line.argv[0] = programName;
    line.argc = 1;
    if (text == nullptr) {
        *argc = line.argc;
        return line.argv;
    }
    size_t length = std::min(std::strlen(text), size_t{kCommandLineBytes - 1});
    std::memcpy(line.text, text, length);
    line.text[length] = '\0';

    char* position = line.text;
    char* const scanEnd = line.text + std::min(length, size_t{kScanLimit});
    int stored = 0;
    for (;;) {
        while (*position == ' ') ++position;
        if (position >= scanEnd) break;
        line.argv[1 + stored++] = position;
        // A double quote opens or closes a quoted run, in which spaces belong to the
        // argument; the quotes themselves are dropped by moving the text down in place.
        char* write = position;
        bool quoted = false;
        while (*position != '\0' && (quoted || *position != ' ')) {
            if (*position == '"') {
                quoted = !quoted;
                ++position;
                continue;
            }
            *write++ = *position++;
        }
        // The last argument taken ends at its space too, so the ignored rest of the line
        // does not hang off it.
        if (*position == ' ') ++position;
        if (write < position) *write = '\0';
        if (stored == kMaxArguments - 1) break;
    }
    line.argc = 1 + stored;
    *argc = line.argc;
    return line.argv;
}

const char* descriptionFile(int argc, char** argv) {
    return argc == 2 ? argv[1] : "data/tundra.wrl";
}

std::string joinArguments(int argc, char** argv) {
    std::string text;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) text += ' ';
        const std::string_view argument = argv[i];
        const bool quote = argument.empty() || argument.find(' ') != std::string_view::npos;
        if (quote) text += '"';
        text += argument;
        if (quote) text += '"';
    }
    return text;
}
