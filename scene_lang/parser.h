// The parser of the scene language: builds the tree of `ParseNode`s from a demo description.
//
// Lexical and syntax errors are printed as they are met (by default on standard error) and
// parsing always goes on to the end of the input: the caller receives the tree built so
// far, together with the number of messages printed.
#pragma once

#include <cstddef>
#include <cstdio>

#include "scene_lang/keyword_tables.h"
#include "scene_lang/parse_tree.h"

struct ParseResult {
    ParseTree tree;        // the top-level chain; null when nothing was built
    int messageCount = 0;  // lexical and syntax messages printed
    bool opened = true;    // false: the file could not be opened and nothing was parsed
};

// Parses description text held in memory, exactly as the same bytes read from a file.
// Messages go to `messages` (null: counted but not printed).
ParseResult parseText(const char* data, size_t size, FILE* messages = stderr);

// Reads and parses a description file. When the file cannot be opened or read, prints
// "cannot open NAME" and a line feed on `messages` and returns with `opened` false.
ParseResult parseDescription(const char* path, FILE* messages = stderr);
