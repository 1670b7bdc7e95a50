// The scanner of the scene language.
//
// Longest match wins and the scanner never backs up: when the characters read so far
// cannot be extended and do not form a complete token, they are reported as an invalid
// token and dropped together with the character that stopped them.
#include "scene_lang/lexer.h"

#include <cstring>

namespace {

bool isLetter(int c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool isDigit(int c) {
    return c >= '0' && c <= '9';
}

// Characters allowed inside a string: space , - . / 0-9 : A-Z a-z \ _
bool isStringCharacter(int c) {
    return c == ' ' || c == ',' || c == '-' || c == '.' || c == '/' || isDigit(c) || c == ':' ||
           isLetter(c) || c == '\\' || c == '_';
}

}  // namespace

const char* tokenDisplayName(TokenKind kind) {
    static const char* const kNames[kTokenKindCount] = {
        "Invalid",
        "@",
        "/\\*",
        "\\\"",
        "[\\ \\t]",
        "\\n",
        "\\*/",
        "~[\\*]*",
        "\\*~[/]",
        "\\n",
        "\\\"",
        "[\\n\\r]",
        "Text",
        "[a-zA-Z]+",
        "\xBF",
        "\\{",
        "\\}",
        "{\\+|\\-} [0-9]+",
        "{\\+|\\-} {[0-9]*} . {[0-9]*} {[Ee]{[\\+\\-]}[0-9]+}",
        "\\[",
        ",",
        "\\]",
    };
    auto index = static_cast<size_t>(kind);
    return index < kTokenKindCount ? kNames[index] : kNames[0];
}

size_t joinLineEnds(char* data, size_t size) {
    size_t out = 0;
    for (size_t in = 0; in < size; ++in) {
        if (data[in] == '\r' && in + 1 < size && data[in + 1] == '\n') continue;
        data[out++] = data[in];
    }
    return out;
}

Lexer::Lexer(const char* data, size_t size, FILE* messages)
    : pos_(reinterpret_cast<const unsigned char*>(data)), end_(pos_ + size), messages_(messages) {
    advance();
}

void Lexer::take() {
    if (length_ < kMaxTokenText) text_[length_++] = static_cast<char>(*pos_);
    ++pos_;
}

void Lexer::startToken() {
    length_ = 0;
    tokenLine_ = line_;
}

void Lexer::finish(TokenKind kind) {
    text_[length_] = '\0';
    kind_ = kind;
}

void Lexer::lexicalError() {
    text_[length_] = '\0';
    if (messages_ != nullptr) {
        std::fprintf(messages_, "%s near line %d (text was '%s')\n", "invalid token", line_, text_);
    }
    ++messageCount_;
    if (pos_ < end_) {
        // The dropped character still ends its line if it is a line feed.
        if (*pos_ == '\n') ++line_;
        ++pos_;
    }
    length_ = 0;
}

void Lexer::advance() {
    for (;;) {
        startToken();
        int c = peek();
        if (c < 0) {
            finish(TokenKind::End);
            return;
        }
        switch (mode_) {
            case Mode::Normal:
                if (scanNormal()) return;
                break;
            case Mode::Comment:
                if (c == '*') {
                    take();
                    int after = peek();
                    if (after == '/') {
                        ++pos_;
                        mode_ = Mode::Normal;
                    } else if (after < 0) {
                        lexicalError();  // a "*" that the input cuts short
                    } else {
                        if (after == '\n') ++line_;
                        ++pos_;  // "*" and any one character but "/"
                    }
                } else {
                    // The longest run of characters other than "*".
                    const unsigned char* star = static_cast<const unsigned char*>(
                        std::memchr(pos_, '*', static_cast<size_t>(end_ - pos_)));
                    const unsigned char* runEnd = star != nullptr ? star : end_;
                    for (const unsigned char* p = pos_; p < runEnd; ++p) {
                        if (*p == '\n') ++line_;
                    }
                    pos_ = runEnd;
                }
                break;
            case Mode::String:
                if (c == '"') {
                    ++pos_;
                    mode_ = Mode::Normal;
                } else if (c == '\n' || c == '\r') {
                    ++pos_;
                    ++line_;
                } else if (isStringCharacter(c)) {
                    while (pos_ < end_ && isStringCharacter(*pos_)) take();
                    finish(TokenKind::Text);
                    return;
                } else {
                    lexicalError();
                }
                break;
        }
    }
}

bool Lexer::scanNormal() {
    int c = peek();
    switch (c) {
        case '/':
            take();
            if (peek() == '*') {
                ++pos_;
                mode_ = Mode::Comment;
            } else {
                lexicalError();
            }
            return false;
        case '"':
            ++pos_;
            mode_ = Mode::String;
            return false;
        case ' ':
        case '\t':
            ++pos_;
            return false;
        case '\n':
            ++pos_;
            ++line_;
            return false;
        case '{':
            take();
            finish(TokenKind::LeftBrace);
            return true;
        case '}':
            take();
            finish(TokenKind::RightBrace);
            return true;
        case '[':
            take();
            finish(TokenKind::LeftBracket);
            return true;
        case ',':
            take();
            finish(TokenKind::Comma);
            return true;
        case ']':
            take();
            finish(TokenKind::RightBracket);
            return true;
        case kSeparatorByte:
            take();
            finish(TokenKind::Separator);
            return true;
        default:
            break;
    }
    if (isLetter(c)) {
        while (pos_ < end_ && isLetter(*pos_)) take();
        finish(TokenKind::Identifier);
        return true;
    }
    if (c == '+' || c == '-' || c == '.' || isDigit(c)) {
        scanNumber();
        return kind_ != TokenKind::Invalid;
    }
    lexicalError();  // a character the normal mode does not know, or a lone "*"
    return false;
}

// Integers: {+|-} [0-9]+. Floats: {+|-} {[0-9]*} . {[0-9]*} {[Ee]{[+-]}[0-9]+}.
void Lexer::scanNumber() {
    kind_ = TokenKind::Invalid;
    if (peek() == '+' || peek() == '-') take();
    bool digits = false;
    while (isDigit(peek())) {
        take();
        digits = true;
    }
    if (peek() != '.') {
        if (digits) {
            finish(TokenKind::Integer);
        } else {
            lexicalError();  // a sign on its own
        }
        return;
    }
    take();
    while (isDigit(peek())) take();
    if (peek() != 'E' && peek() != 'e') {
        finish(TokenKind::Float);
        return;
    }
    take();
    if (peek() == '+' || peek() == '-') take();
    if (!isDigit(peek())) {
        lexicalError();  // an exponent without digits
        return;
    }
    while (isDigit(peek())) take();
    finish(TokenKind::Float);
}
