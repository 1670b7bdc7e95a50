// The parse tree and its queries.
#include "scene_lang/parse_tree.h"

#include <cstring>
#include <vector>

ParseValue* ParseNode::appendValue() {
    ParseValue* value = new ParseValue;
    if (valuesTail != nullptr) {
        valuesTail->next = value;
    } else {
        valuesHead = value;
    }
    valuesTail = value;
    ++valueCount;
    return value;
}

char* copyText(const char* text, size_t length) {
    char* copy = new char[length + 1];
    if (length > 0) std::memcpy(copy, text, length);
    copy[length] = '\0';
    return copy;
}

void freeText(char* text) {
    delete[] text;
}

void destroyTree(ParseNode* node) {
    // Chains still to free; each is walked along `next`, pushing the blocks it meets.
    std::vector<ParseNode*> pending;
    if (node != nullptr) pending.push_back(node);
    while (!pending.empty()) {
        ParseNode* n = pending.back();
        pending.pop_back();
        while (n != nullptr) {
            ParseValue* v = n->valuesHead;
            while (v != nullptr) {
                ParseValue* nextValue = v->next;
                freeText(v->text);
                delete v;
                v = nextValue;
            }
            freeText(n->text);
            if (n->firstChild != nullptr) pending.push_back(n->firstChild);
            ParseNode* nextNode = n->next;
            delete n;
            n = nextNode;
        }
    }
}

namespace {
bool sameText(const char* a, const char* b) {
    return a != nullptr && b != nullptr && std::strcmp(a, b) == 0;
}
}  // namespace

const ParseNode* findFrom(const ParseNode* start, const char* name) {
    for (const ParseNode* n = start; n != nullptr; n = n->next) {
        if (sameText(n->name, name)) return n;
    }
    return nullptr;
}

const ParseNode* findFromLabelled(const ParseNode* start, const char* name, const char* label) {
    for (const ParseNode* n = start; n != nullptr; n = n->next) {
        if (sameText(n->name, name) && sameText(n->text, label)) return n;
    }
    return nullptr;
}

const ParseNode* child(const ParseNode* node, const char* name) {
    return node != nullptr ? findFrom(node->firstChild, name) : nullptr;
}

const ParseNode* childLabelled(const ParseNode* node, const char* name, const char* label) {
    return node != nullptr ? findFromLabelled(node->firstChild, name, label) : nullptr;
}

ParseNode* findFrom(ParseNode* start, const char* name) {
    return const_cast<ParseNode*>(findFrom(static_cast<const ParseNode*>(start), name));
}

ParseNode* findFromLabelled(ParseNode* start, const char* name, const char* label) {
    return const_cast<ParseNode*>(
        findFromLabelled(static_cast<const ParseNode*>(start), name, label));
}

ParseNode* child(ParseNode* node, const char* name) {
    return const_cast<ParseNode*>(child(static_cast<const ParseNode*>(node), name));
}

ParseNode* childLabelled(ParseNode* node, const char* name, const char* label) {
    return const_cast<ParseNode*>(childLabelled(static_cast<const ParseNode*>(node), name, label));
}

namespace {
template <class T, class Field>
bool copyValues(const ParseNode* node, T* destination, int n, Field field) {
    if (node == nullptr) return false;
    if (n <= 0) return true;
    if (node->valueCount < n) return false;
    const ParseValue* v = node->valuesHead;
    for (int i = 0; i < n && v != nullptr; ++i, v = v->next) destination[i] = v->*field;
    return true;
}
}  // namespace

bool getFloats(const ParseNode* node, float* destination, int n) {
    return copyValues(node, destination, n, &ParseValue::floatValue);
}

bool getInts(const ParseNode* node, int32_t* destination, int n) {
    return copyValues(node, destination, n, &ParseValue::intValue);
}
