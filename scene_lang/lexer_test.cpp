// Tests of the scene language scanner: token kinds and texts, lines, modes and lexical
// errors.
#include "scene_lang/lexer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scene_lang/test_support.h"

namespace {

struct Scanned {
    std::string tokens;    // "kind:text@line" separated by spaces, end token excluded
    std::string messages;  // what the scanner printed
    int messageCount = 0;
};

Scanned scan(std::string input) {
    MessageCapture capture;
    input.resize(joinLineEnds(input.data(), input.size()));
    Lexer lexer(input.data(), input.size(), capture.file());
    Scanned out;
    for (int guard = 0; lexer.kind() != TokenKind::End && guard < 100000; ++guard) {
        if (!out.tokens.empty()) out.tokens += ' ';
        out.tokens += std::to_string(static_cast<int>(lexer.kind())) + ":" + lexer.text() + "@" +
                      std::to_string(lexer.line());
        lexer.advance();
    }
    lexer.advance();  // the end token stays
    EXPECT_EQ(lexer.kind(), TokenKind::End);
    out.messages = capture.text();
    out.messageCount = lexer.messageCount();
    return out;
}

std::string invalid(int line, const std::string& text) {
    return "invalid token near line " + std::to_string(line) + " (text was '" + text + "')\n";
}

TEST(Lexer, NumbersFollowTheLongestMatchWithoutBackingUp) {
    // 17 integer, 18 float, 13 identifier.
    EXPECT_EQ(scan("1. .5 . -.5 +3 -0 1.5e+3 2.E7").tokens,
              "18:1.@1 18:.5@1 18:.@1 18:-.5@1 17:+3@1 17:-0@1 18:1.5e+3@1 18:2.E7@1");
    EXPECT_EQ(scan("1e5").tokens, "17:1@1 13:e@1 17:5@1");  // an exponent needs a "."
    EXPECT_EQ(scan("12ab3").tokens, "17:12@1 13:ab@1 17:3@1");

    Scanned sign = scan("- 5");
    EXPECT_EQ(sign.tokens, "17:5@1");
    EXPECT_EQ(sign.messages, invalid(1, "-"));

    // The "x" that stops 1.5e is dropped with it; "y" is scanned again.
    Scanned exponent = scan("1.5ex y 1.5e+}");
    EXPECT_EQ(exponent.tokens, "13:y@1");
    EXPECT_EQ(exponent.messages, invalid(1, "1.5e") + invalid(1, "1.5e+"));
    EXPECT_EQ(exponent.messageCount, 2);

    EXPECT_EQ(scan("+").messages, invalid(1, "+"));  // cut short by the end of input
}

TEST(Lexer, PunctuationSeparatorAndInvalidCharacters) {
    EXPECT_EQ(scan("{}[,]\xBF").tokens, "15:{@1 16:}@1 19:[@1 20:,@1 21:]@1 14:\xBF@1");

    // Unknown characters are reported with an empty text and dropped alone; a "/" that
    // does not open a comment takes the character after it along.
    Scanned bad = scan("a # b * c /d e ( f");
    EXPECT_EQ(bad.tokens, "13:a@1 13:b@1 13:c@1 13:e@1 13:f@1");
    EXPECT_EQ(bad.messages, invalid(1, "") + invalid(1, "") + invalid(1, "/") + invalid(1, ""));

    // A NUL byte is an invalid character, not the end of the input.
    Scanned nul = scan(std::string("A\0B", 3));
    EXPECT_EQ(nul.tokens, "13:A@1 13:B@1");
    EXPECT_EQ(nul.messageCount, 1);
}

TEST(Lexer, LineEndsAndCarriageReturns) {
    // A carriage-return/line-feed pair is one line feed; a lone carriage return is invalid.
    Scanned crlf = scan("A\r\nB\r\n\r\nC\rD");
    EXPECT_EQ(crlf.tokens, "13:A@1 13:B@2 13:C@4 13:D@4");
    EXPECT_EQ(crlf.messages, invalid(4, ""));

    // A line feed that stops an invalid token still ends its line.
    EXPECT_EQ(scan("-\nA").tokens, "13:A@2");
}

TEST(Lexer, CommentsAreSkippedAndTheirLinesCounted) {
    EXPECT_EQ(scan("/* a\nb\nc */ X").tokens, "13:X@3");
    // "**/" does not end the comment: the second "*" goes with the first.
    EXPECT_EQ(scan("/* a **/ B */ C").tokens, "13:C@1");
    EXPECT_EQ(scan("/* a ***/ B */ C").tokens, "13:B@1 13:C@1");
    EXPECT_EQ(scan("/* *\n*\n*/ X").tokens, "13:X@3");  // line feeds taken after a "*"
    EXPECT_EQ(scan("/*/ X */ Y").tokens, "13:Y@1");
    // An unterminated comment simply ends the input.
    Scanned open = scan("A /* B");
    EXPECT_EQ(open.tokens, "13:A@1");
    EXPECT_EQ(open.messageCount, 0);
    EXPECT_EQ(scan("A /* B *").messages, invalid(1, "*"));  // a "*" cut short
}

TEST(Lexer, StringsYieldTextRunsAndReportForeignCharacters) {
    EXPECT_EQ(scan("\"data/sky.raw\" \"a b,c-d:e\\f_9\"").tokens,
              "12:data/sky.raw@1 12:a b,c-d:e\\f_9@1");
    EXPECT_EQ(scan("\"\" A").tokens, "13:A@1");  // an empty string is no token at all

    // A line break ends the run; the string goes on as a second Text token.
    EXPECT_EQ(scan("\"ab\ncd\" E").tokens, "12:ab@1 12:cd@2 13:E@2");
    EXPECT_EQ(scan("\"ab\rcd\"").tokens, "12:ab@1 12:cd@2");  // a lone CR counts a line

    Scanned tab = scan("\"ab\tcd(ef\xBFg\"");
    EXPECT_EQ(tab.tokens, "12:ab@1 12:cd@1 12:ef@1 12:g@1");
    EXPECT_EQ(tab.messages, invalid(1, "") + invalid(1, "") + invalid(1, ""));

    Scanned open = scan("\"abc");  // an unterminated string simply ends the input
    EXPECT_EQ(open.tokens, "12:abc@1");
    EXPECT_EQ(open.messageCount, 0);
}

TEST(Lexer, LongTokensAreCutWithoutOverflow) {
    std::string letters(5000, 'x');
    Scanned identifier = scan(letters + " y");
    EXPECT_EQ(identifier.tokens, "13:" + std::string(kMaxTokenText, 'x') + "@1 13:y@1");

    Scanned text = scan("\"" + std::string(3000, 'q') + "\"");
    EXPECT_EQ(text.tokens, "12:" + std::string(kMaxTokenText, 'q') + "@1");

    // A failed token is reported with at most the same number of characters.
    Scanned failed = scan(std::string(2500, '7') + ".5e!");
    EXPECT_EQ(failed.messages, invalid(1, std::string(kMaxTokenText, '7')));
}

}  // namespace
