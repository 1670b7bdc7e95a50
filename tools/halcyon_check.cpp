// halcyon-check FILE: parses a demo description as the engine does, prints the parser's
// messages on standard error and the tree in canonical form on standard output.
// Exit status: 0 when no message was printed, 1 when any was, 2 when the file cannot be
// opened (or the command line is wrong).
#include <cstdio>
#include <cstring>
#include <string>

#include "scene_lang/canonical.h"
#include "scene_lang/parser.h"

int main(int argc, char** argv) {
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::printf("usage: halcyon-check FILE\n");
        return 0;
    }
    if (argc != 2 || argv[1][0] == '-') {
        std::fprintf(stderr, "usage: halcyon-check FILE\n");
        return 2;
    }
    ParseResult result = parseDescription(argv[1], stderr);
    if (!result.opened) return 2;
    std::string text = canonicalText(result.tree.get());
    std::fwrite(text.data(), 1, text.size(), stdout);
    if (std::fflush(stdout) != 0) return 2;
    return result.messageCount == 0 ? 0 : 1;
}
