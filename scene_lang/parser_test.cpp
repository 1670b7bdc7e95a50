// Tests of the scene language parser: the tree it builds, its messages byte for byte, and
// how it recovers after an error.
#include "scene_lang/parser.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>

#include "scene_lang/canonical.h"
#include "scene_lang/test_support.h"

namespace {

struct Parsed {
    ParseResult result;
    std::string messages;
    std::string canonical;
};

Parsed parse(const std::string& input) {
    MessageCapture capture;
    Parsed out;
    out.result = parseText(input.data(), input.size(), capture.file());
    out.messages = capture.text();
    out.canonical = canonicalText(out.result.tree.get());
    return out;
}

const char kFloatName[] = "{\\+|\\-} {[0-9]*} . {[0-9]*} {[Ee]{[\\+\\-]}[0-9]+}";

TEST(Parser, MinimalDescriptionBuildsFiveEntries) {
    MessageCapture capture;
    ParseResult result = parseDescription("scene_lang/testdata/minimal.wrl", capture.file());
    ASSERT_TRUE(result.opened);
    EXPECT_EQ(result.messageCount, 0);
    EXPECT_EQ(capture.text(), "");

    const ParseNode* node = result.tree.get();
    const char* names[] = {"Texture", "Geometry", "ObjectGroup", "Scene", "Demo"};
    const char* labels[] = {"Sky", "Cube", "World", "Intro", "Main"};
    for (int i = 0; i < 5; ++i, node = node->next) {
        ASSERT_NE(node, nullptr);
        EXPECT_STREQ(node->name, names[i]);
        EXPECT_STREQ(node->text, labels[i]);
        EXPECT_NE(node->firstChild, nullptr);
    }
    EXPECT_EQ(node, nullptr);

    const ParseNode* root = result.tree.get();
    const ParseNode* sky = findFromLabelled(root, "Texture", "Sky");
    EXPECT_STREQ(child(sky, "FileName")->text, "data/sky.raw");
    int32_t depth = 0;
    EXPECT_EQ(child(sky, "Depth")->intValue, 16);
    EXPECT_FALSE(getInts(child(sky, "Depth"), &depth, 1));  // a single value is no list

    const ParseNode* box = childLabelled(findFrom(root, "ObjectGroup"), "Object", "Box");
    float position[3] = {};
    ASSERT_TRUE(getFloats(child(box, "Position"), position, 3));
    EXPECT_EQ(position[2], 5.0f);
    EXPECT_STREQ(child(box, "Geometry")->text, "Cube");
    EXPECT_EQ(child(findFrom(root, "Scene"), "Time")->floatValue, 10.0f);

    const ParseNode* scenes = child(findFrom(root, "Demo"), "Scene");
    ASSERT_EQ(scenes->valueCount, 1);
    EXPECT_STREQ(scenes->valuesHead->text, "Intro");
    EXPECT_EQ(scenes->firstChild, nullptr);
}

TEST(Parser, ValuesOfEveryKindAndTheSeparator) {
    Parsed p = parse(
        "Texture\xBF \"t\" { Width\xBF 640 Height -99999999999 Depth 99999999999 "
        "Flags [\"a\", \"b c\"] }\n"
        "Geometry \"g\" { Material \"m\" { Color [1, -2, +3] Ambient .5 Diffuse 1. "
        "Specular . Glossiness -. Transparent 1.0e39 SmoothingAngle 2.5E-1 } }\n");
    EXPECT_EQ(p.messages, "");
    EXPECT_EQ(p.result.messageCount, 0);
    const ParseNode* texture = p.result.tree.get();
    EXPECT_EQ(child(texture, "Width")->intValue, 640);
    EXPECT_EQ(child(texture, "Height")->intValue, INT32_MIN);  // saturated
    EXPECT_EQ(child(texture, "Depth")->intValue, INT32_MAX);
    EXPECT_STREQ(child(texture, "Flags")->valuesTail->text, "b c");

    const ParseNode* material = child(texture->next, "Material");
    int32_t color[3] = {};
    ASSERT_TRUE(getInts(child(material, "Color"), color, 3));
    EXPECT_EQ(color[1], -2);
    EXPECT_EQ(color[2], 3);
    EXPECT_EQ(child(material, "Ambient")->floatValue, 0.5f);
    EXPECT_EQ(child(material, "Diffuse")->floatValue, 1.0f);
    EXPECT_EQ(child(material, "Specular")->floatValue, 0.0f);  // "." alone is 0
    EXPECT_TRUE(std::signbit(child(material, "Glossiness")->floatValue));
    EXPECT_TRUE(std::isinf(child(material, "Transparent")->floatValue));
    EXPECT_EQ(child(material, "SmoothingAngle")->floatValue, 0.25f);
    EXPECT_EQ(p.canonical,
              "Texture \"t\"\n{\n\tWidth 640\n\tHeight -2147483648\n\tDepth 2147483647\n"
              "\tFlags [\"a\", \"b c\"]\n}\n"
              "Geometry \"g\"\n{\n\tMaterial \"m\"\n\t{\n\t\tColor [1, -2, 3]\n"
              "\t\tAmbient 0.5\n\t\tDiffuse 1.0\n\t\tSpecular 0.0\n\t\tGlossiness -0.0\n"
              "\t\tTransparent 1.0e+39\n\t\tSmoothingAngle 0.25\n\t}\n}\n");
}

// Input, the exact messages, and the tree that results (in canonical form).
struct RecoveryCase {
    const char* what;
    const char* input;
    std::string messages;
    const char* tree;
};

TEST(Parser, MessagesAndRecovery) {
    const RecoveryCase cases[] = {
        {"an integer where a float is required skips to the next comma",
         "ObjectGroup \"g\" {\n Object \"o\" {\n  Scale 1\n  Position [1.0, 2.0]\n }\n}\n"
         "Scene \"s\" { Time 2.0 }\n",
         std::string("line 3: syntax error at \"1\" missing ") + kFloatName +
             "\nline 4: syntax error at \",\" missing \\}\n"
             "line 8: syntax error at \"\" missing \\}\n",
         "ObjectGroup \"g\"\n{\n\tObject \"o\"\n\t{\n\t\tScale 0.0\n\t}\n}\n"},
        {"an empty block: the statements after the \"}\" join the block",
         "Scene \"s\" {\n}\nTime 1.0\nRootObject \"r\" }\nDemo \"d\" { Scene [\"s\"] }",
         "line 2: syntax error at \"}\" missing [a-zA-Z]+\n",
         "Scene \"s\"\n{\n\tTime 1.0\n\tRootObject \"r\"\n}\nDemo \"d\"\n{\n"
         "\tScene [\"s\"]\n}\n"},
        {"a block keyword without its block skips the rest of the file",
         "Texture \"a\"\nGeometry \"b\" { LWObject \"x\" }\n",
         "line 2: syntax error at \"Geometry\" missing \\{\n"
         "line 3: syntax error at \"\" missing [a-zA-Z]+\n"
         "line 3: syntax error at \"\" missing \\}\n",
         "Texture \"a\"\n"},
        {"an unknown keyword between two known ones is left out",
         "Texture \"a\" { Width 1 Bogus Height 2 }", "",
         "Texture \"a\"\n{\n\tWidth 1\n\tHeight 2\n}\n"},
        {"an unknown keyword before \"}\": the following statements join the block",
         "Texture \"a\" { Width 1 Bogus }\nHeight 2\n}\nGeometry \"g\" { LWObject \"x\" }",
         "line 1: syntax error at \"}\" missing [a-zA-Z]+\n",
         "Texture \"a\"\n{\n\tWidth 1\n\tHeight 2\n}\nGeometry \"g\"\n{\n"
         "\tLWObject \"x\"\n}\n"},
        {"a keyword of another block is unknown here", "Demo \"d\" { Width 4 }",
         "line 1: syntax error at \"4\" missing [a-zA-Z]+\n"
         "line 1: syntax error at \"\" missing \\}\n",
         "Demo \"d\"\n"},
        {"an empty file", "", "line 1: syntax error at \"\" missing [a-zA-Z]+\n", ""},
        {"only a comment", "/* one\ntwo\nthree */\n",
         "line 4: syntax error at \"\" missing [a-zA-Z]+\n", ""},
        {"a \"}\" at the top level ignores the rest",
         "Demo \"d\" { Scene [\"s\"] } }\nTexture \"t\" { Width 1 }",
         "line 1: syntax error at \"}\" missing @\n", "Demo \"d\"\n{\n\tScene [\"s\"]\n}\n"},
        {"a string broken by a line feed",
         "Texture \"a\" { FileName \"x\ny\" Width 1 }\nDemo \"d\" { Scene [\"s\"] }",
         "line 2: syntax error at \"y\" missing \\}\n", "Texture \"a\"\n{\n\tFileName \"x\"\n}\n"},
        {"a list element of the wrong kind keeps a zero element and skips to the end",
         "Demo \"d\" { Scene [\"a\", 5, \"b\"] } Texture \"t\" { Width 1 }",
         "line 1: syntax error at \"5\" missing Text\n"
         "line 1: syntax error at \"\" missing \\}\n",
         "Demo \"d\"\n{\n\tScene [\"a\", \"\"]\n}\n"},
        {"a list without its \"]\"", "Demo \"d\" { Scene [\"s\" \"t\"] }",
         "line 1: syntax error at \"t\" missing \\]\n"
         "line 1: syntax error at \"\" missing \\}\n",
         "Demo \"d\"\n{\n\tScene [\"s\"]\n}\n"},
        {"a single value where a list is required", "Demo \"d\" { Scene \"s\" }",
         "line 1: syntax error at \"s\" missing \\[\n"
         "line 1: syntax error at \"\" missing \\}\n",
         "Demo \"d\"\n{\n\tScene []\n}\n"},
        {"the line of an error after a three-line comment",
         "/* one\ntwo\nthree */\nTexture \"a\" { Width 1.5 }\n",
         "line 4: syntax error at \"1.5\" missing {\\+|\\-} [0-9]+\n"
         "line 5: syntax error at \"\" missing \\}\n",
         "Texture \"a\"\n{\n\tWidth 0\n}\n"},
        {"a recovery that skipped nothing makes the next one skip exactly one token",
         "ObjectGroup \"g\" { Object \"o\" { Scale , Position [1.0] } "
         "Object \"p\" { Scale 2.0 } }",
         std::string("line 1: syntax error at \",\" missing ") + kFloatName +
             "\nline 1: syntax error at \",\" missing \\}\n"
             "line 1: syntax error at \"[\" missing [a-zA-Z]+\n",
         "ObjectGroup \"g\"\n{\n\tObject \"o\"\n\t{\n\t\tScale 0.0\n\t}\n"
         "\tObject \"p\"\n\t{\n\t\tScale 2.0\n\t}\n}\n"},
        {"the separator stands only between a known keyword and its value",
         "Texture \"t\" { Bogus \xBF 5 }",
         "line 1: syntax error at \"\xBF\" missing [a-zA-Z]+\n"
         "line 1: syntax error at \"\" missing \\}\n",
         "Texture \"t\"\n"},
        {"a lexical error inside a statement leaves the statement intact",
         "Texture \"t\" { Width # 5 Height 6 }", "invalid token near line 1 (text was '')\n",
         "Texture \"t\"\n{\n\tWidth 5\n\tHeight 6\n}\n"},
    };
    for (const RecoveryCase& c : cases) {
        SCOPED_TRACE(c.what);
        Parsed p = parse(c.input);
        EXPECT_EQ(p.messages, c.messages);
        EXPECT_EQ(p.canonical, c.tree);
        int lines = 0;
        for (char ch : c.messages) lines += ch == '\n';
        EXPECT_EQ(p.result.messageCount, lines);
    }
}

TEST(Parser, FilesAreReadAsTextAndMissingFilesReported) {
    const std::string text = "Texture \"a\"\r\n{\r\n\tWidth 1\r\n}\r\nDemo 5\r\n";
    std::string path = testing::TempDir() + "crlf.wrl";
    FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);

    MessageCapture fromFile;
    ParseResult result = parseDescription(path.c_str(), fromFile.file());
    EXPECT_TRUE(result.opened);
    EXPECT_EQ(fromFile.text(),
              "line 5: syntax error at \"5\" missing Text\n"
              "line 6: syntax error at \"\" missing \\{\n"
              "line 6: syntax error at \"\" missing [a-zA-Z]+\n"
              "line 6: syntax error at \"\" missing \\}\n");
    Parsed fromMemory = parse(text);
    EXPECT_EQ(fromMemory.messages, fromFile.text());
    EXPECT_TRUE(sameTree(result.tree.get(), fromMemory.result.tree.get()));

    MessageCapture missing;
    ParseResult none = parseDescription("scene_lang/testdata/no such file.wrl", missing.file());
    EXPECT_FALSE(none.opened);
    EXPECT_EQ(none.tree, nullptr);
    EXPECT_EQ(missing.text(), "cannot open scene_lang/testdata/no such file.wrl\n");
}

}  // namespace
