// Tests of the canonical text: its float spelling, and that it parses back to the same
// tree, for the fixtures and for random trees built from the keyword tables.
#include "scene_lang/canonical.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <limits>
#include <random>
#include <string>

#include "scene_lang/parser.h"

namespace {

std::string spell(float value) {
    char buffer[32];
    formatCanonicalFloat(value, buffer);
    return buffer;
}

TEST(Canonical, FloatSpelling) {
    EXPECT_EQ(spell(5.0f), "5.0");
    EXPECT_EQ(spell(1e-05f), "9.99999975e-06");  // nine digits of the stored value
    EXPECT_EQ(spell(0.5f), "0.5");
    EXPECT_EQ(spell(-0.5f), "-0.5");
    EXPECT_EQ(spell(-0.0f), "-0.0");
    EXPECT_EQ(spell(1e10f), "1.0e+10");
    EXPECT_EQ(spell(1e20f), "1.00000002e+20");
    EXPECT_EQ(spell(123456789.0f), "123456792.0");
    EXPECT_EQ(spell(std::numeric_limits<float>::denorm_min()), "1.40129846e-45");
    EXPECT_EQ(spell(std::numeric_limits<float>::infinity()), "1.0e+39");
    EXPECT_EQ(spell(-std::numeric_limits<float>::infinity()), "-1.0e+39");
    EXPECT_EQ(spell(std::numeric_limits<float>::max()), "3.40282347e+38");
}

TEST(Canonical, SameTreeSeesEveryDifference) {
    const char* base = "Scene \"s\" { Time 1.0 Light \"l\" { Color [1, 2] } }";
    ParseResult a = parseText(base, std::strlen(base), nullptr);
    const char* others[] = {
        "Scene \"s\" { Time -1.0 Light \"l\" { Color [1, 2] } }",
        "Scene \"s\" { Time 1.0 Light \"m\" { Color [1, 2] } }",
        "Scene \"s\" { Time 1.0 Light \"l\" { Color [1, 3] } }",
        "Scene \"s\" { Time 1.0 Light \"l\" { Color [1, 2, 3] } }",
        "Scene \"s\" { Time 1.0 Light \"l\" { Intensity [1.0, 2.0] } }",
        "Scene \"s\" { Time 1.0 Light \"l\" { Color [1, 2] Object \"o\" } }",
        "Scene \"s\" { Time 1.0 RootObject \"l\" }",
        "Scene \"s\" { Time 1.0 Light \"l\" { Color [1, 2] } } Demo \"d\" { Scene [\"s\"] }",
    };
    ParseResult same = parseText(base, std::strlen(base), nullptr);
    EXPECT_TRUE(sameTree(a.tree.get(), same.tree.get()));
    for (const char* other : others) {
        ParseResult b = parseText(other, std::strlen(other), nullptr);
        EXPECT_EQ(b.messageCount, 0) << other;
        EXPECT_FALSE(sameTree(a.tree.get(), b.tree.get())) << other;
        EXPECT_FALSE(sameTree(b.tree.get(), a.tree.get())) << other;
    }
    // Zero and minus zero differ in their bits.
    a.tree->firstChild->floatValue = -0.0f;
    same.tree->firstChild->floatValue = 0.0f;
    EXPECT_FALSE(sameTree(a.tree.get(), same.tree.get()));
}

// Parses `text` and checks that its canonical text parses back, without messages, to the
// same tree and is its own canonical text.
void expectRoundTrip(const std::string& text) {
    ParseResult first = parseText(text.data(), text.size(), nullptr);
    ASSERT_EQ(first.messageCount, 0);
    std::string canonical = canonicalText(first.tree.get());
    ParseResult second = parseText(canonical.data(), canonical.size(), nullptr);
    EXPECT_EQ(second.messageCount, 0);
    EXPECT_TRUE(sameTree(first.tree.get(), second.tree.get()));
    EXPECT_EQ(canonicalText(second.tree.get()), canonical);
}

TEST(Canonical, FixturesRoundTrip) {
    int fixtures = 0;
    for (const auto& entry : std::filesystem::directory_iterator("scene_lang/testdata")) {
        if (entry.path().extension() != ".wrl") continue;
        SCOPED_TRACE(entry.path().string());
        ParseResult file = parseDescription(entry.path().c_str(), nullptr);
        ASSERT_TRUE(file.opened);
        std::string canonical = canonicalText(file.tree.get());
        expectRoundTrip(canonical);
        ParseResult again = parseText(canonical.data(), canonical.size(), nullptr);
        EXPECT_TRUE(sameTree(file.tree.get(), again.tree.get()));
        ++fixtures;
    }
    EXPECT_GE(fixtures, 2);
}

// Builds random trees that follow the keyword tables, with extreme values.
class TreeMaker {
  public:
    explicit TreeMaker(uint32_t seed) : random_(seed) {}

    ParseNode* chain(const KeywordEntry* table, int depth) {
        int entries = 0;
        while (table[entries].keyword != nullptr) ++entries;
        ParseNode* first = nullptr;
        ParseNode** link = &first;
        int count = 1 + pick(depth == 0 ? 6 : 4);
        for (int i = 0; i < count; ++i) {
            const KeywordEntry& entry = table[pick(entries)];
            auto* node = new ParseNode;
            node->name = entry.keyword;
            switch (entry.kind) {
                case ValueKind::Integer:
                    node->intValue = integer();
                    break;
                case ValueKind::Float:
                    node->floatValue = real();
                    break;
                case ValueKind::Text:
                    node->text = text();
                    break;
                default:
                    for (int n = 1 + pick(5); n > 0; --n) {
                        ParseValue* v = node->appendValue();
                        if (entry.kind == ValueKind::IntegerList) v->intValue = integer();
                        if (entry.kind == ValueKind::FloatList) v->floatValue = real();
                        if (entry.kind == ValueKind::TextList) v->text = text();
                    }
                    break;
            }
            if (entry.subTable != nullptr) node->firstChild = chain(entry.subTable, depth + 1);
            *link = node;
            link = &node->next;
        }
        return first;
    }

  private:
    int pick(int n) { return static_cast<int>(random_() % static_cast<uint32_t>(n)); }

    int32_t integer() {
        switch (pick(4)) {
            case 0:
                return INT32_MIN;
            case 1:
                return INT32_MAX;
            case 2:
                return pick(2001) - 1000;
        }
        return static_cast<int32_t>(random_());
    }

    float real() {
        switch (pick(6)) {
            case 0:
                return pick(2) != 0 ? std::numeric_limits<float>::infinity()
                                    : -std::numeric_limits<float>::infinity();
            case 1:
                return pick(2) != 0 ? 0.0f : -0.0f;
            case 2:
                return static_cast<float>(pick(2001) - 1000) / 8.0f;
        }
        // Any finite bit pattern, subnormals included.
        for (;;) {
            float value = std::bit_cast<float>(static_cast<uint32_t>(random_()));
            if (std::isfinite(value)) return value;
        }
    }

    char* text() {
        static const char kStringCharacters[] =
            " ,-./0123456789:ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz\\_";
        size_t length = pick(10) == 0 ? 1023 : 1 + static_cast<size_t>(pick(12));
        std::string s;
        for (size_t i = 0; i < length; ++i) {
            s += kStringCharacters[pick(static_cast<int>(sizeof kStringCharacters - 1))];
        }
        return copyText(s.data(), s.size());
    }

    std::mt19937 random_;
};

TEST(Canonical, RandomTreesRoundTrip) {
    for (uint32_t seed = 1; seed <= 300; ++seed) {
        SCOPED_TRACE(seed);
        TreeMaker maker(seed);
        ParseTree tree(maker.chain(kTopLevelKeywords, 0));
        std::string canonical = canonicalText(tree.get());
        ParseResult parsed = parseText(canonical.data(), canonical.size(), nullptr);
        ASSERT_EQ(parsed.messageCount, 0) << canonical;
        ASSERT_TRUE(sameTree(tree.get(), parsed.tree.get())) << canonical;
        ASSERT_EQ(canonicalText(parsed.tree.get()), canonical);
    }
}

}  // namespace
