// Tests of the application helpers: files, fatal errors, trace and the clock.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "app/app.h"

namespace {

std::string tempPath(const char* name) {
    return std::string(::testing::TempDir()) + "halcyon_app_" + name;
}

TEST(Files, ReadWholeFileFromOffsets) {
    std::string path = tempPath("whole.bin");
    const char data[] = "0123456789";
    ASSERT_TRUE(saveFile(path.c_str(), data, 10));

    std::unique_ptr<unsigned char[]> buffer;
    long size = -5;
    ASSERT_TRUE(readWholeFile(path.c_str(), 3, buffer, size));
    EXPECT_EQ(size, 7);
    EXPECT_EQ(std::memcmp(buffer.get(), "3456789", 7), 0);

    // An offset at the end of the file reads nothing and allocates nothing.
    EXPECT_FALSE(readWholeFile(path.c_str(), 10, buffer, size));
    EXPECT_EQ(buffer, nullptr);
    EXPECT_EQ(size, 0);

    EXPECT_FALSE(readWholeFile(tempPath("missing.bin").c_str(), 0, buffer, size));
    EXPECT_EQ(buffer, nullptr);
    EXPECT_EQ(size, 0);
    std::remove(path.c_str());
}

TEST(Files, ReadFilePartReportsShortReads) {
    std::string path = tempPath("part.bin");
    ASSERT_TRUE(saveFile(path.c_str(), "abcdef", 6));
    char out[8] = {};
    size_t got = 99;
    ASSERT_TRUE(readFilePart(path.c_str(), 4, 8, out, &got));
    EXPECT_EQ(got, 2u);
    EXPECT_EQ(std::string(out, 2), "ef");
    EXPECT_FALSE(readFilePart(tempPath("none.bin").c_str(), 0, 4, out, &got));
    EXPECT_EQ(got, 0u);
    std::remove(path.c_str());
}

TEST(Files, SaveEmptyFileCreatesIt) {
    std::string path = tempPath("empty.bin");
    ASSERT_TRUE(saveFile(path.c_str(), nullptr, 0));
    std::FILE* f = std::fopen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(std::fgetc(f), EOF);
    std::fclose(f);
    std::remove(path.c_str());
    EXPECT_FALSE(saveFile("/nonexistent-dir/x.bin", "x", 1));
}

TEST(FatalError, PrintsMessageAndExitsWithOne) {
    EXPECT_EXIT(fatalError("Err: Missing '%s'\n", "FORM"), ::testing::ExitedWithCode(1),
                "Err: Missing 'FORM'");
}

TEST(FatalError, LongMessagesAreCutAt1023Characters) {
    std::string longText(3000, 'x');
    EXPECT_EXIT(fatalError("%s", longText.c_str()), ::testing::ExitedWithCode(1), "^x{1023}$");
}

TEST(Trace, DoesNotEvaluateItsArguments) {
    int calls = 0;
    auto sideEffect = [&calls] { return ++calls; };
    trace("value %d\n", sideEffect());
    EXPECT_EQ(calls, 0);
}

TEST(Clock, SteppedClockReplacesTheSteadyClock) {
    double before = secondsNow();
    EXPECT_GE(secondsNow(), before);
    SteppedClock stepped(0.25, 10.0);
    {
        ScopedClockSource scope(&stepped);
        EXPECT_EQ(secondsNow(), 10.0);
        stepped.advance();
        stepped.advance();
        EXPECT_EQ(secondsNow(), 10.5);
    }
    EXPECT_NE(secondsNow(), 10.5);  // the steady clock is back
}

TEST(NamedList, NewestFirstLookupAndRemoval) {
    int a = 1, b = 2, c = 3;
    NamedList<int> list;
    auto* ea = list.insert("tex", &a);
    list.insert(nullptr, &b);
    auto* ec = list.insert("tex", &c);
    EXPECT_EQ(list.count, 3);
    EXPECT_EQ(list.find("tex"), &c);  // the newest of two equal names wins
    EXPECT_EQ(list.find("Tex"), nullptr);
    EXPECT_EQ(list.find(nullptr), nullptr);
    list.remove(ec);
    EXPECT_EQ(list.count, 2);
    EXPECT_EQ(list.head->value, &b);
    EXPECT_EQ(list.find("tex"), &a);
    list.remove(ea);
    EXPECT_EQ(list.head->value, &b);
    EXPECT_EQ(list.head->next, nullptr);
    EXPECT_EQ(list.count, 1);
}

}  // namespace
