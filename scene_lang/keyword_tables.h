// The keyword tables of the scene language.
//
// Each table is an ordered array of entries ended by an entry without a keyword. A keyword
// is known only in the table of the block that encloses it; the top level has its own
// table. The first entry whose keyword equals the identifier (exactly, case-sensitively)
// wins. An entry with a sub-table requires a block after its value.
#pragma once

#include <cstdint>

enum class ValueKind : uint8_t {
    Integer = 0,
    Float = 1,
    Text = 2,
    IntegerList = 3,
    FloatList = 4,
    TextList = 5,
};

struct KeywordEntry {
    const char* keyword;  // null ends the table
    ValueKind kind;
    const KeywordEntry* subTable;  // null: the statement has no block
};

// The table of top-level statements ("Texture", "Geometry", ..., "Demo").
extern const KeywordEntry kTopLevelKeywords[];

// The first entry of `table` whose keyword equals `keyword`, or null.
const KeywordEntry* findKeyword(const KeywordEntry* table, const char* keyword);

inline bool isListKind(ValueKind kind) {
    return kind >= ValueKind::IntegerList;
}
