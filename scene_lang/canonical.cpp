// Canonical text of a parse tree and tree comparison.
#include "scene_lang/canonical.h"

#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

void formatCanonicalFloat(float value, char (&buffer)[32]) {
    if (std::isinf(value)) {
        // No literal spells infinity; this one overflows the 32-bit float when read back.
        std::snprintf(buffer, sizeof buffer, "%s", value < 0 ? "-1.0e+39" : "1.0e+39");
        return;
    }
    if (std::isnan(value)) {
        // Never produced by the parser; there is no literal for it.
        std::snprintf(buffer, sizeof buffer, "0.0");
        return;
    }
    int length = std::snprintf(buffer, sizeof buffer, "%.9g", static_cast<double>(value));
    if (length <= 0 || std::strchr(buffer, '.') != nullptr) return;
    // "%.9g" writes at most 15 characters, so there is room for ".0".
    char* exponent = std::strchr(buffer, 'e');
    char* insert = exponent != nullptr ? exponent : buffer + length;
    std::memmove(insert + 2, insert, static_cast<size_t>(buffer + length + 1 - insert));
    insert[0] = '.';
    insert[1] = '0';
}

namespace {

void appendValue(std::string& out, ValueKind kind, int32_t intValue, float floatValue,
                 const char* text) {
    char buffer[32];
    switch (kind) {
        case ValueKind::Integer:
        case ValueKind::IntegerList:
            std::snprintf(buffer, sizeof buffer, "%d", intValue);
            out += buffer;
            break;
        case ValueKind::Float:
        case ValueKind::FloatList:
            formatCanonicalFloat(floatValue, buffer);
            out += buffer;
            break;
        case ValueKind::Text:
        case ValueKind::TextList:
            out += '"';
            if (text != nullptr) out += text;
            out += '"';
            break;
    }
}

void appendNodeLine(std::string& out, const ParseNode* node, const KeywordEntry* entry, int depth) {
    out.append(static_cast<size_t>(depth), '\t');
    out += node->name != nullptr ? node->name : "";
    if (entry != nullptr) {
        out += ' ';
        if (isListKind(entry->kind)) {
            out += '[';
            for (const ParseValue* v = node->valuesHead; v != nullptr; v = v->next) {
                if (v != node->valuesHead) out += ", ";
                appendValue(out, entry->kind, v->intValue, v->floatValue, v->text);
            }
            out += ']';
        } else {
            appendValue(out, entry->kind, node->intValue, node->floatValue, node->text);
        }
    }
    out += '\n';
}

}  // namespace

void appendCanonicalText(std::string& out, const ParseNode* root, const KeywordEntry* table) {
    // Explicit stack of (next node of a chain, its table); depth = stack size - 1.
    struct Level {
        const ParseNode* node;
        const KeywordEntry* table;
    };
    std::vector<Level> stack;
    stack.push_back({root, table});
    while (!stack.empty()) {
        Level& level = stack.back();
        int depth = static_cast<int>(stack.size()) - 1;
        if (level.node == nullptr) {
            stack.pop_back();
            if (!stack.empty()) {
                out.append(static_cast<size_t>(depth - 1), '\t');
                out += "}\n";
            }
            continue;
        }
        const ParseNode* node = level.node;
        level.node = node->next;
        const KeywordEntry* entry = findKeyword(level.table, node->name);
        appendNodeLine(out, node, entry, depth);
        if (node->firstChild != nullptr) {
            out.append(static_cast<size_t>(depth), '\t');
            out += "{\n";
            stack.push_back({node->firstChild, entry != nullptr ? entry->subTable : nullptr});
        }
    }
}

std::string canonicalText(const ParseNode* root) {
    std::string out;
    appendCanonicalText(out, root);
    return out;
}

namespace {

bool sameText(const char* a, const char* b) {
    if (a == nullptr || b == nullptr) return a == b;
    return std::strcmp(a, b) == 0;
}

bool sameValues(const ParseNode* a, const ParseNode* b) {
    if (a->valueCount != b->valueCount) return false;
    const ParseValue* x = a->valuesHead;
    const ParseValue* y = b->valuesHead;
    for (; x != nullptr && y != nullptr; x = x->next, y = y->next) {
        if (x->intValue != y->intValue || std::memcmp(&x->floatValue, &y->floatValue, 4) != 0 ||
            !sameText(x->text, y->text)) {
            return false;
        }
    }
    return x == nullptr && y == nullptr;
}

}  // namespace

bool sameTree(const ParseNode* a, const ParseNode* b) {
    std::vector<std::pair<const ParseNode*, const ParseNode*>> pending;
    pending.emplace_back(a, b);
    while (!pending.empty()) {
        auto [x, y] = pending.back();
        pending.pop_back();
        for (; x != nullptr && y != nullptr; x = x->next, y = y->next) {
            if (!sameText(x->name, y->name) || x->intValue != y->intValue ||
                std::memcmp(&x->floatValue, &y->floatValue, 4) != 0 ||
                !sameText(x->text, y->text) || !sameValues(x, y)) {
                return false;
            }
            pending.emplace_back(x->firstChild, y->firstChild);
        }
        if (x != nullptr || y != nullptr) return false;
    }
    return true;
}
