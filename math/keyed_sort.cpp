// Sort of keyed entries: straight insertion for short arrays, otherwise quicksort with a
// median-of-three pivot whose short sub-ranges are finished by insertion. The quicksort
// recurses into the smaller part and loops on the larger, so the stack depth stays below
// log2(count) even for adversarial input.
#include "math/keyed_sort.h"

#include <utility>

namespace {

constexpr int kInsertionOnly = 7;  // arrays up to this size: insertion only
constexpr int kSmallRange = 12;    // quicksort ranges up to this size: insertion

// Sorts entries[lo..hi] (inclusive).
void insertionSort(KeyedEntry* entries, int lo, int hi) {
    for (int i = lo + 1; i <= hi; ++i) {
        const KeyedEntry entry = entries[i];
        int j = i;
        while (j > lo && entry.key < entries[j - 1].key) {
            entries[j] = entries[j - 1];
            --j;
        }
        entries[j] = entry;
    }
}

void orderPair(KeyedEntry& a, KeyedEntry& b) {
    if (b.key < a.key) std::swap(a, b);
}

// Sorts entries[lo..hi] (inclusive).
void quickSort(KeyedEntry* entries, int lo, int hi) {
    while (hi - lo + 1 > kSmallRange) {
        const int mid = lo + (hi - lo) / 2;
        orderPair(entries[lo], entries[mid]);
        orderPair(entries[mid], entries[hi]);
        orderPair(entries[lo], entries[mid]);
        const float pivot = entries[mid].key;

        // Hoare partition. Each scan stops at the latest at an element a previous step
        // left behind (the pivot itself on the first pass), so it never leaves the range,
        // even for keys that do not compare (NaN).
        int i = lo;
        int j = hi;
        while (i <= j) {
            while (entries[i].key < pivot) ++i;
            while (pivot < entries[j].key) --j;
            if (i <= j) {
                std::swap(entries[i], entries[j]);
                ++i;
                --j;
            }
        }
        // Now entries[lo..j] <= pivot <= entries[i..hi], with j < i.
        if (j - lo < hi - i) {
            quickSort(entries, lo, j);
            lo = i;
        } else {
            quickSort(entries, i, hi);
            hi = j;
        }
    }
    insertionSort(entries, lo, hi);
}

}  // namespace

void sortByKey(KeyedEntry* entries, int count) {
    if (entries == nullptr || count < 2) return;
    if (count <= kInsertionOnly) {
        insertionSort(entries, 0, count - 1);
        return;
    }
    quickSort(entries, 0, count - 1);
}
