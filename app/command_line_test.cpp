// Tests of the command-line split and the choice of the description file.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/process.h"

namespace {

std::vector<std::string> split(const char* text) {
    int argc = -1;
    char** argv = splitCommandLine(text, &argc);
    std::vector<std::string> result;
    for (int i = 0; i < argc; ++i) result.emplace_back(argv[i]);
    EXPECT_EQ(argv[argc], nullptr);
    return result;
}

using Args = std::vector<std::string>;

TEST(CommandLine, SplitsAtSpacesOnly) {
    EXPECT_EQ(split(nullptr), Args{"RuvIdev"});
    EXPECT_EQ(split(""), Args{"RuvIdev"});
    EXPECT_EQ(split("   "), Args{"RuvIdev"});
    EXPECT_EQ(split("demo.wrl"), (Args{"RuvIdev", "demo.wrl"}));
    EXPECT_EQ(split("a  b"), (Args{"RuvIdev", "a", "b"}));
    EXPECT_EQ(split("  a b  "), (Args{"RuvIdev", "a", "b"}));
    // Tabs are ordinary characters; a quoted run keeps its spaces and loses its quotes.
    EXPECT_EQ(split("a\tb c"), (Args{"RuvIdev", "a\tb", "c"}));
    EXPECT_EQ(split("\"my demo.wrl\""), (Args{"RuvIdev", "my demo.wrl"}));
    EXPECT_EQ(split("x \"a b\"c \"\" d"), (Args{"RuvIdev", "x", "a bc", "", "d"}));
    EXPECT_EQ(split("\"open  end"), (Args{"RuvIdev", "open  end"}));
}

TEST(CommandLine, JoinedArgumentsSplitBackWhole) {
    const std::vector<Args> cases = {
        {"RuvIdev"},
        {"RuvIdev", "demo.wrl"},
        {"RuvIdev", "my demo.wrl"},
        {"RuvIdev", "a b", "", "c"},
    };
    for (const Args& args : cases) {
        std::vector<std::string> copies = args;
        std::vector<char*> argv;
        for (std::string& arg : copies) argv.push_back(arg.data());
        std::string text = joinArguments(static_cast<int>(argv.size()), argv.data());
        EXPECT_EQ(split(text.c_str()), args) << text;
    }
}

TEST(CommandLine, TakesAtMostThirtyOneArguments) {
    std::string text;
    for (int i = 0; i < 40; ++i) {
        text += 'w';
        text += std::to_string(i);
        text += ' ';
    }
    Args args = split(text.c_str());
    ASSERT_EQ(args.size(), 32u);
    EXPECT_EQ(args[1], "w0");
    EXPECT_EQ(args[31], "w30");  // the ignored rest does not hang off the last one

    text.clear();
    for (int i = 0; i < 31; ++i) text += "x ";
    EXPECT_EQ(split(text.c_str()).size(), 32u);
    text += "y";
    EXPECT_EQ(split(text.c_str()).size(), 32u);
}

TEST(CommandLine, LongTextIsCutAndScanStopsAt1022) {
    // An argument starting at offset 1021 is the last that can be taken.
    std::string text(1021, ' ');
    text += "ab";
    EXPECT_EQ(split(text.c_str()), (Args{"RuvIdev", "ab"}));
    text = std::string(1022, ' ') + "cd";
    EXPECT_EQ(split(text.c_str()), Args{"RuvIdev"});

    // An argument running past the scan end keeps its characters up to 1023.
    text = std::string(1000, ' ') + std::string(100, 'z');
    Args args = split(text.c_str());
    ASSERT_EQ(args.size(), 2u);
    EXPECT_EQ(args[1], std::string(23, 'z'));

    // Previous contents do not leak into a shorter line.
    split("a-very-long-argument another");
    EXPECT_EQ(split("x"), (Args{"RuvIdev", "x"}));
}

TEST(CommandLine, DescriptionFileNeedsExactlyOneArgument) {
    int argc = 0;
    char** argv = splitCommandLine("", &argc);
    EXPECT_STREQ(descriptionFile(argc, argv), "data/tundra.wrl");
    argv = splitCommandLine("mine.wrl", &argc);
    EXPECT_STREQ(descriptionFile(argc, argv), "mine.wrl");
    argv = splitCommandLine("mine.wrl other.wrl", &argc);
    EXPECT_STREQ(descriptionFile(argc, argv), "data/tundra.wrl");
}

TEST(Process, MusicArgumentsAndLoadingFlag) {
    char** argv = musicArguments();
    EXPECT_STREQ(argv[0], "maplay");
    EXPECT_STREQ(argv[1], "data/music/drift07.mp3");
    EXPECT_EQ(kMusicArgc, 2);
    EXPECT_EQ(loadingFlag.load(), 1);
    clearLoadingFlag();
    waitForLoading();  // returns at once
    EXPECT_EQ(loadingFlag.load(), 0);
}

}  // namespace
