// Sort of (key, payload) pairs by ascending key; the renderer orders polygons by depth
// with it. Not stable: equal keys come out in an unspecified order. Works in place, never
// allocates, and its stack depth stays logarithmic whatever the input.
#pragma once

#include <cstdint>

struct KeyedEntry {
    float key;
    union {  // the caller's payload: an index or a pointer
        int32_t index;
        void* pointer;
    };
};

void sortByKey(KeyedEntry* entries, int count);
