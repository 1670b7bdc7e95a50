// Splitting the program's command line into the engine's argument vector.
#pragma once

#include <string>

inline constexpr int kCommandLineBytes = 1024;
inline constexpr int kMaxArguments = 32;  // argv[0] and at most 31 arguments

// The process-wide argument vector; argv[1..] point into `text`.
struct CommandLine {
    char text[kCommandLineBytes] = {};
    char* argv[kMaxArguments + 1] = {};  // null after the last argument
    int argc = 0;
};

extern CommandLine commandLine;

// Splits `text` (null means no command line) at spaces into `commandLine` and returns its
// argv; argc receives the count. argv[0] is always "RuvIdev". Only ' ' separates
// arguments (a tab is an ordinary character); a double-quoted run keeps its spaces and
// loses its quotes, so "my demo.wrl" is one argument. At most 1023 characters are kept,
// the scan for arguments stops at 1022 characters, and at most 31 arguments are taken.
char** splitCommandLine(const char* text, int* argc);

// The description file to play: argv[1] when there is exactly one argument, otherwise
// "data/tundra.wrl".
const char* descriptionFile(int argc, char** argv);

// The command-line text for the program's arguments argv[1..argc-1], as the shell handed
// them over: separated by one space, each one that is empty or holds a space in double
// quotes, so that `splitCommandLine` gives the same arguments back.
std::string joinArguments(int argc, char** argv);
