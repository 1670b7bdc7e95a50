// End-to-end tests of the halcyon-check program: exit status, messages and tree output.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace {

struct CheckRun {
    int status = -1;
    std::string out;
    std::string err;
};

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

CheckRun check(const std::string& arguments) {
    std::string dir = testing::TempDir();
    std::string command = std::string(HALCYON_BINARY_DIR "/bin/halcyon-check ") + arguments + " >" +
                          dir + "check.out 2>" + dir + "check.err";
    CheckRun run;
    int raw = std::system(command.c_str());
    if (raw != -1 && WIFEXITED(raw)) run.status = WEXITSTATUS(raw);
    run.out = readFile(dir + "check.out");
    run.err = readFile(dir + "check.err");
    return run;
}

TEST(HalcyonCheck, CleanFilePrintsItsTreeAndExitsZero) {
    CheckRun run = check("scene_lang/testdata/minimal.wrl");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out,
              "Texture \"Sky\"\n{\n\tFileName \"data/sky.raw\"\n\tWidth 256\n\tHeight 256\n"
              "\tDepth 16\n}\n"
              "Geometry \"Cube\"\n{\n\tLWObject \"data/cube.lwo\"\n}\n"
              "ObjectGroup \"World\"\n{\n\tObject \"Box\"\n\t{\n\t\tGeometry \"Cube\"\n"
              "\t\tPosition [0.0, 0.0, 5.0]\n\t}\n}\n"
              "Scene \"Intro\"\n{\n\tTime 10.0\n\tRootObject \"World\"\n}\n"
              "Demo \"Main\"\n{\n\tScene [\"Intro\"]\n}\n");

    // Its own output is a clean description with the same canonical text.
    std::string copy = testing::TempDir() + "canonical.wrl";
    std::ofstream(copy, std::ios::binary) << run.out;
    CheckRun again = check(copy);
    EXPECT_EQ(again.status, 0);
    EXPECT_EQ(again.out, run.out);
}

TEST(HalcyonCheck, MessagesGiveExitOneAndTheTreeBuiltSoFar) {
    std::string path = testing::TempDir() + "broken.wrl";
    std::ofstream(path, std::ios::binary)
        << "Texture \"a\" { Width 1.5 Height 2 }\r\nDemo \"d\" { Scene [\"s\"] } ?\n";
    CheckRun run = check(path);
    EXPECT_EQ(run.status, 1);
    // The wrong value skips to the next "]"; the missing "}" then skips the rest, where
    // the scanner still reports the "?".
    EXPECT_EQ(run.err,
              "line 1: syntax error at \"1.5\" missing {\\+|\\-} [0-9]+\n"
              "line 2: syntax error at \"]\" missing \\}\n"
              "invalid token near line 2 (text was '')\n");
    EXPECT_EQ(run.out, "Texture \"a\"\n{\n\tWidth 0\n}\n");
}

TEST(HalcyonCheck, UnreadableFileGivesExitTwo) {
    CheckRun run = check("scene_lang/testdata/missing.wrl");
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "cannot open scene_lang/testdata/missing.wrl\n");
    EXPECT_EQ(run.out, "");

    CheckRun usage = check("");
    EXPECT_EQ(usage.status, 2);
    EXPECT_EQ(usage.err, "usage: halcyon-check FILE\n");
}

}  // namespace
