// The canonical text of a parse tree, and tree comparison.
//
// The canonical text is itself a description: one line per node, depth first, a node at
// depth d starting with d tabs, its keyword, a space and its value; a node with children is
// followed by a line of d tabs and "{", its children, and a line of d tabs and "}". A tree
// parsed without messages gives a text that parses back, without messages, to an equal
// tree.
#pragma once

#include <cstdio>
#include <string>

#include "scene_lang/keyword_tables.h"
#include "scene_lang/parse_tree.h"

// Appends the canonical text of the chain starting at `root` (keywords looked up in
// `table`, the top-level table by default) to `out`.
void appendCanonicalText(std::string& out, const ParseNode* root,
                         const KeywordEntry* table = kTopLevelKeywords);
std::string canonicalText(const ParseNode* root);

// The canonical spelling of a float value: "%.9g" of the value with ".0" inserted before
// the exponent or appended when there is no "."; infinities are written as a literal that
// overflows to them again (1.0e+39, -1.0e+39). Writes at most 31 characters.
void formatCanonicalFloat(float value, char (&buffer)[32]);

// True when both chains have the same shape, keywords, values (floats compared bit for
// bit) and texts.
bool sameTree(const ParseNode* a, const ParseNode* b);
