// Tests of the keyed sort against std::sort on many shapes and sizes of input.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "math/keyed_sort.h"

namespace {

using Pattern = float (*)(int i, int n, std::mt19937& rng);

struct NamedPattern {
    const char* name;
    Pattern make;
};

const NamedPattern kPatterns[] = {
    {"random",
     [](int, int, std::mt19937& rng) {
         return std::uniform_real_distribution<float>(-1000, 1000)(rng);
     }},
    {"sorted", [](int i, int, std::mt19937&) { return static_cast<float>(i); }},
    {"reversed", [](int i, int n, std::mt19937&) { return static_cast<float>(n - i); }},
    {"all equal", [](int, int, std::mt19937&) { return 4.5f; }},
    {"few distinct", [](int, int, std::mt19937& rng) { return static_cast<float>(rng() % 3); }},
    {"organ pipe",
     [](int i, int n, std::mt19937&) { return static_cast<float>(std::min(i, n - i)); }},
    {"sawtooth", [](int i, int, std::mt19937&) { return static_cast<float>(i % 17); }},
    {"sorted with noise",
     [](int i, int, std::mt19937& rng) {
         return static_cast<float>(i) + (rng() % 10 == 0 ? -50.0f : 0.0f);
     }},
};

// Sorts a copy and checks: keys ascending and equal to std::sort's, every payload kept
// exactly once and still paired with its own key.
void checkSort(const std::vector<float>& keys, const std::string& what) {
    const int n = static_cast<int>(keys.size());
    std::vector<KeyedEntry> entries(keys.size());
    for (int i = 0; i < n; ++i) {
        entries[static_cast<size_t>(i)].key = keys[static_cast<size_t>(i)];
        entries[static_cast<size_t>(i)].index = i;
    }
    sortByKey(entries.data(), n);

    std::vector<float> expected = keys;
    std::sort(expected.begin(), expected.end());
    std::vector<int> seen(keys.size(), 0);
    for (int i = 0; i < n; ++i) {
        const KeyedEntry& e = entries[static_cast<size_t>(i)];
        ASSERT_EQ(e.key, expected[static_cast<size_t>(i)]) << what << " at " << i;
        ASSERT_GE(e.index, 0) << what;
        ASSERT_LT(e.index, n) << what;
        ASSERT_EQ(keys[static_cast<size_t>(e.index)], e.key) << what << " payload moved apart";
        ++seen[static_cast<size_t>(e.index)];
    }
    for (int i = 0; i < n; ++i) ASSERT_EQ(seen[static_cast<size_t>(i)], 1) << what;
}

TEST(SortByKey, MatchesStdSortOnManyShapesAndSizes) {
    std::vector<int> sizes;
    for (int n = 0; n <= 70; ++n) sizes.push_back(n);
    for (int n : {100, 127, 128, 129, 255, 1000, 4097, 30000}) sizes.push_back(n);
    std::mt19937 rng(7);
    for (const NamedPattern& pattern : kPatterns) {
        for (int n : sizes) {
            std::vector<float> keys(static_cast<size_t>(n));
            for (int i = 0; i < n; ++i) keys[static_cast<size_t>(i)] = pattern.make(i, n, rng);
            checkSort(keys, std::string(pattern.name) + " n=" + std::to_string(n));
        }
    }
}

TEST(SortByKey, SpecialKeysAndTrivialCalls) {
    const float inf = std::numeric_limits<float>::infinity();
    checkSort({0.0f, -0.0f, inf, -inf, 1e-40f, -1e-40f, 3e38f, -3e38f, 0.0f, 1.0f, -1.0f, inf},
              "infinities, denormals, signed zeros");

    KeyedEntry one{2.0f, {5}};
    sortByKey(&one, 1);
    EXPECT_EQ(one.index, 5);
    sortByKey(nullptr, 0);
    sortByKey(&one, -3);
    EXPECT_EQ(one.key, 2.0f);
}

// NaN keys have no order, but must not make the sort leave the array or lose entries
// (run under the address sanitizer).
TEST(SortByKey, NanKeysStayInsideTheArray) {
    std::mt19937 rng(3);
    for (int n : {5, 8, 13, 50, 1000}) {
        std::vector<KeyedEntry> entries(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i) {
            entries[static_cast<size_t>(i)].key =
                rng() % 3 == 0 ? std::nanf("") : static_cast<float>(rng() % 100);
            entries[static_cast<size_t>(i)].index = i;
        }
        sortByKey(entries.data(), n);
        std::vector<int> seen(static_cast<size_t>(n), 0);
        for (const KeyedEntry& e : entries) {
            ASSERT_GE(e.index, 0);
            ASSERT_LT(e.index, n);
            ++seen[static_cast<size_t>(e.index)];
        }
        for (int count : seen) EXPECT_EQ(count, 1);
    }
}

// An input built against median-of-three pivots (the classic "killer" sequence) is still
// sorted correctly; the depth bound keeps the stack small.
TEST(SortByKey, MedianOfThreeKillerSequence) {
    const int n = 1 << 16;
    std::vector<float> keys(static_cast<size_t>(n));
    const int k = n / 2;
    for (int i = 1; i <= k; ++i) {
        if (i % 2 == 1) {
            keys[static_cast<size_t>(i - 1)] = static_cast<float>(i);
            keys[static_cast<size_t>(i)] = static_cast<float>(k + i);
        }
        keys[static_cast<size_t>(k + i - 1)] = static_cast<float>(2 * i);
    }
    checkSort(keys, "killer");
}

}  // namespace
