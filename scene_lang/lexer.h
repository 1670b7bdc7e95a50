// The lexer of the scene language: tokens, their display names, and a scanner with three
// modes (normal, comment, string) that reports lexical errors and goes on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

// Token kinds, numbered as the language numbers them. Kinds 2-11 are consumed inside the
// scanner (mode changes, blanks, line feeds, comments) and never reach the parser.
enum class TokenKind : uint8_t {
    Invalid = 0,
    End = 1,
    Text = 12,
    Identifier = 13,
    Separator = 14,
    LeftBrace = 15,
    RightBrace = 16,
    Integer = 17,
    Float = 18,
    LeftBracket = 19,
    Comma = 20,
    RightBracket = 21,
};

constexpr int kTokenKindCount = 22;

// The name a syntax-error message gives an expected token kind ("@", "[a-zA-Z]+", ...).
const char* tokenDisplayName(TokenKind kind);

// Longest token text kept; longer texts are cut to this many characters.
constexpr size_t kMaxTokenText = 1023;

// The separator byte that may stand between a keyword and its value.
constexpr unsigned char kSeparatorByte = 0xBF;

// Scans a description held in memory. The text must already have every carriage-return /
// line-feed pair joined into one line feed (see joinLineEnds). Lexical errors are printed
// to `messages` as they are met and counted.
class Lexer {
  public:
    Lexer(const char* data, size_t size, FILE* messages);

    // Scans the next token; at the end of the input it stays at the end token.
    void advance();

    TokenKind kind() const { return kind_; }
    const char* text() const { return text_; }  // NUL-terminated, at most kMaxTokenText
    size_t textLength() const { return length_; }
    int line() const { return tokenLine_; }  // the line the current token stands on
    int messageCount() const { return messageCount_; }

  private:
    enum class Mode : uint8_t { Normal, Comment, String };

    int peek() const { return pos_ < end_ ? *pos_ : -1; }
    void take();  // appends the next character to the token text and moves past it
    void startToken();
    void finish(TokenKind kind);
    // Reports the characters read so far and drops them with the character that stopped
    // the token (unless the input ended there).
    void lexicalError();
    bool scanNormal();  // false when the character was consumed without making a token
    void scanNumber();

    const unsigned char* pos_;
    const unsigned char* end_;
    FILE* messages_;
    Mode mode_ = Mode::Normal;
    int line_ = 1;
    int tokenLine_ = 1;
    int messageCount_ = 0;
    TokenKind kind_ = TokenKind::Invalid;
    size_t length_ = 0;
    char text_[kMaxTokenText + 1] = {};
};

// Joins every carriage return directly followed by a line feed into one line feed, in
// place, as a text-mode read does; returns the new size. A lone carriage return stays.
size_t joinLineEnds(char* data, size_t size);
