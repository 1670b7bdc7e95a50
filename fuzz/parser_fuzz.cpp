// Fuzzes the scene-language lexer and parser. Whatever the input, parsing must not crash;
// the canonical text of the tree must parse without crashing; when the input parsed
// without messages the canonical text must parse without messages, and whenever it parses
// without messages it must give an equal tree and be its own canonical text.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "scene_lang/canonical.h"
#include "scene_lang/parser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ParseResult first = parseText(reinterpret_cast<const char*>(data), size, nullptr);
    std::string text = canonicalText(first.tree.get());
    ParseResult second = parseText(text.data(), text.size(), nullptr);
    // A tree with an absent text, an empty list or a block without statements cannot be
    // spelled without errors; any other tree must come back unchanged.
    bool mustRoundTrip = first.messageCount == 0;
    if (mustRoundTrip || second.messageCount == 0) {
        if (second.messageCount != 0 || !sameTree(first.tree.get(), second.tree.get()) ||
            canonicalText(second.tree.get()) != text) {
            std::fprintf(stderr, "canonical text does not parse back:\n%s", text.c_str());
            std::abort();
        }
    }
    return 0;
}
