// Tests of the parse tree queries and destruction.
#include <gtest/gtest.h>

#include <cstring>

#include "scene_lang/parse_tree.h"

namespace {

ParseNode* makeNode(const char* name, const char* label = nullptr) {
    ParseNode* n = new ParseNode;
    n->name = name;
    if (label != nullptr) n->text = copyText(label, std::strlen(label));
    return n;
}

TEST(ParseTreeQueries, FindAmongSiblingsNotChildren) {
    ParseTree root(makeNode("Texture", "Sky"));
    root->firstChild = makeNode("Width");
    root->next = makeNode("Geometry", "Cube");
    root->next->next = makeNode("Geometry", "Ball");

    EXPECT_EQ(findFrom(root.get(), "Texture"), root.get());  // the start node itself
    EXPECT_EQ(findFrom(root.get(), "Width"), nullptr);       // never looks at children
    EXPECT_EQ(child(root.get(), "Width"), root->firstChild);
    EXPECT_EQ(findFrom(root.get(), "Geometry"), root->next);  // the earlier sibling
    EXPECT_EQ(findFromLabelled(root.get(), "Geometry", "Ball"), root->next->next);
    EXPECT_EQ(findFromLabelled(root.get(), "Geometry", "ball"), nullptr);
    EXPECT_EQ(findFromLabelled(root.get(), "Width", nullptr), nullptr);
    EXPECT_EQ(childLabelled(root.get(), "Width", "x"), nullptr);  // no text never matches
    EXPECT_EQ(findFrom(static_cast<ParseNode*>(nullptr), "Texture"), nullptr);
    EXPECT_EQ(child(static_cast<ParseNode*>(nullptr), "Texture"), nullptr);
}

TEST(ParseTreeQueries, GetValuesCopiesOnlyWhenLongEnough) {
    ParseTree node(makeNode("Color"));
    node->appendValue()->intValue = 7;
    node->appendValue()->intValue = -3;
    EXPECT_EQ(node->valueCount, 2);
    EXPECT_EQ(node->valuesHead->next, node->valuesTail);

    int32_t ints[3] = {11, 12, 13};
    EXPECT_FALSE(getInts(node.get(), ints, 3));
    EXPECT_EQ(ints[0], 11);  // untouched
    EXPECT_TRUE(getInts(node.get(), ints, 2));
    EXPECT_EQ(ints[0], 7);
    EXPECT_EQ(ints[1], -3);
    EXPECT_EQ(ints[2], 13);

    float floats[2] = {5.0f, 5.0f};
    EXPECT_TRUE(getFloats(node.get(), floats, 2));  // an integer list has zero floats
    EXPECT_EQ(floats[0], 0.0f);
    EXPECT_TRUE(getFloats(node.get(), floats, 0));
    ParseTree empty(makeNode("Position"));
    EXPECT_TRUE(getFloats(empty.get(), floats, 0));
    EXPECT_FALSE(getFloats(empty.get(), floats, 1));
    EXPECT_FALSE(getFloats(nullptr, floats, 1));
}

TEST(ParseTreeDestroy, LongChainsAndDeepBlocksDoNotExhaustTheStack) {
    // A million siblings and a ten-thousand deep nest, each with texts and values; the
    // sanitizer build checks that every byte is freed exactly once.
    ParseNode* head = makeNode("Scene", "a");
    ParseNode* tail = head;
    for (int i = 0; i < 1000000; ++i) {
        tail->next = makeNode("Scene", "b");
        tail = tail->next;
    }
    ParseNode* deep = head;
    for (int i = 0; i < 10000; ++i) {
        deep->firstChild = makeNode("Object", "c");
        deep->firstChild->appendValue()->text = copyText("t", 1);
        deep = deep->firstChild;
    }
    destroyTree(head);
    destroyTree(nullptr);
    SUCCEED();
}

}  // namespace
