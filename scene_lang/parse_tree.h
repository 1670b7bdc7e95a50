// The parse tree of a demo description and the queries every loader reads it with.
//
// One `ParseNode` per statement. A node owns its text, its list values, its block (the
// subtree at `firstChild`) and, through `next`, the rest of its chain. `name` points at
// the keyword table's own text and is never freed. Loaders copy what they keep.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

// One element of a list value; only the field matching the list's kind is set.
struct ParseValue {
    ParseValue* next = nullptr;
    int32_t intValue = 0;
    float floatValue = 0.0f;
    char* text = nullptr;  // owned, may be null
};

struct ParseNode {
    ParseNode* next = nullptr;        // next statement of the same block
    ParseNode* firstChild = nullptr;  // first statement of this statement's block
    const char* name = nullptr;       // keyword; not owned
    int32_t intValue = 0;
    float floatValue = 0.0f;
    char* text = nullptr;  // owned, may be null: the statement's label
    ParseValue* valuesHead = nullptr;
    ParseValue* valuesTail = nullptr;
    int32_t valueCount = 0;

    // Appends a zeroed value to the list and returns it.
    ParseValue* appendValue();
};

// A heap copy of the first `length` bytes of `text`, NUL-terminated; owned by the caller
// and freed with freeText.
char* copyText(const char* text, size_t length);
void freeText(char* text);

// Frees the node, its block and the whole chain that follows it through `next`. Works
// without recursion, so neither a long chain nor a deep tree can exhaust the stack.
void destroyTree(ParseNode* node);

struct ParseTreeDeleter {
    void operator()(ParseNode* node) const { destroyTree(node); }
};
using ParseTree = std::unique_ptr<ParseNode, ParseTreeDeleter>;

// The queries. A null start node is allowed everywhere and yields null or false; names
// and labels are compared exactly and case-sensitively.
ParseNode* findFrom(ParseNode* start, const char* name);
ParseNode* findFromLabelled(ParseNode* start, const char* name, const char* label);
ParseNode* child(ParseNode* node, const char* name);
ParseNode* childLabelled(ParseNode* node, const char* name, const char* label);
const ParseNode* findFrom(const ParseNode* start, const char* name);
const ParseNode* findFromLabelled(const ParseNode* start, const char* name, const char* label);
const ParseNode* child(const ParseNode* node, const char* name);
const ParseNode* childLabelled(const ParseNode* node, const char* name, const char* label);

// Copy the first n list values; false (destination untouched) when the list is shorter.
bool getFloats(const ParseNode* node, float* destination, int n);
bool getInts(const ParseNode* node, int32_t* destination, int n);
