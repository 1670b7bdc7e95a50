// A hand-written LL(1) parser over the keyword tables.
//
// Grammar:
//   description: statement { statement } end-of-input
//   statement:   identifier [separator] value-of-the-keyword's-kind [block]
//   block:       "{" statement { statement } "}"
//   list:        "[" element { "," element } "]"
// An identifier that the enclosing table does not know is dropped and a statement is
// parsed in its place. After a syntax error the construct that failed skips tokens up to
// its recovery set (or the end of input) and returns; its caller goes on.
#include "scene_lang/parser.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "app/console.h"
#include "app/files.h"
#include "scene_lang/lexer.h"

namespace {

using TokenSet = uint32_t;

constexpr TokenSet bit(TokenKind kind) {
    return TokenSet{1} << static_cast<unsigned>(kind);
}

constexpr TokenSet kStatementRecovery = bit(TokenKind::Identifier);
constexpr TokenSet kValueRecovery = bit(TokenKind::Comma) | bit(TokenKind::RightBracket);
constexpr TokenSet kToEnd = 0;  // every set holds the end of input implicitly

// Decimal conversion of an integer token, saturating at the limits of 32 bits.
int32_t integerValue(const char* text) {
    bool negative = *text == '-';
    if (*text == '+' || *text == '-') ++text;
    int64_t value = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        value = value * 10 + (*text - '0');
        if (value > int64_t{INT32_MAX} + 1) break;
    }
    if (negative) value = -value;
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(value);
}

// Decimal conversion of a float token to double, stored as a 32-bit float. The token may
// have no digit before or after the "." (".", "-.5", "1."); a text cut short may end in an
// incomplete exponent, which the conversion ignores. Values beyond the float range become
// infinities (IEEE conversion), as do decimal texts too large for a double.
float floatValue(const char* text, size_t length) {
    char buffer[kMaxTokenText + 2];
    size_t n = 0;
    size_t i = 0;
    if (text[0] == '+' || text[0] == '-') buffer[n++] = text[i++];
    if (text[i] == '.') buffer[n++] = '0';
    for (; i < length; ++i) buffer[n++] = text[i];
    buffer[n] = '\0';
    return static_cast<float>(std::strtod(buffer, nullptr));
}

class Parser {
  public:
    Parser(const char* data, size_t size, FILE* messages)
        : lexer_(data, size, messages), messages_(messages) {}

    ParseResult parseDescription() {
        ParseResult result;
        ParseNode* first = nullptr;
        ParseNode** link = &first;
        do {
            if (ParseNode* node = parseStatement(kTopLevelKeywords)) {
                *link = node;
                link = &node->next;
            }
        } while (at(TokenKind::Identifier));
        if (!at(TokenKind::End)) fail(TokenKind::End, kToEnd);
        result.tree.reset(first);
        result.messageCount = lexer_.messageCount() + syntaxErrors_;
        return result;
    }

  private:
    bool at(TokenKind kind) const { return lexer_.kind() == kind; }

    void syntaxError(TokenKind expected) {
        if (messages_ != nullptr) {
            std::fprintf(messages_, "line %d: syntax error at \"%s\"", lexer_.line(),
                         lexer_.text());
            std::fprintf(messages_, " missing");
            std::fprintf(messages_, " %s", tokenDisplayName(expected));
            std::fprintf(messages_, "\n");
        }
        ++syntaxErrors_;
    }

    // Skips tokens until one of `set` or the end of input. A recovery that found itself
    // already at such a token, without skipping, makes the next recovery skip exactly one
    // token and return: two constructs can then never fail at the same token forever.
    void recover(TokenSet set) {
        if (!consumedSinceRecovery_) {
            lexer_.advance();
            consumedSinceRecovery_ = true;
            return;
        }
        auto stops = [&] { return at(TokenKind::End) || (set & bit(lexer_.kind())) != 0; };
        if (stops()) {
            consumedSinceRecovery_ = false;
            return;
        }
        while (!stops()) lexer_.advance();
        consumedSinceRecovery_ = true;
    }

    void fail(TokenKind expected, TokenSet recoverySet) {
        syntaxError(expected);
        recover(recoverySet);
    }

    // One statement of `table`; null when none was built.
    ParseNode* parseStatement(const KeywordEntry* table) {
        for (;;) {
            if (!at(TokenKind::Identifier)) {
                fail(TokenKind::Identifier, kStatementRecovery);
                return nullptr;
            }
            const KeywordEntry* entry = findKeyword(table, lexer_.text());
            if (entry == nullptr) {
                trace("Unkown Node: %s\n", lexer_.text());
                lexer_.advance();
                continue;  // the next statement takes its place in the chain
            }
            lexer_.advance();
            auto* node = new ParseNode;
            node->name = entry->keyword;
            if (at(TokenKind::Separator)) lexer_.advance();
            if (isListKind(entry->kind)) {
                parseList(node, entry->kind);
            } else {
                parseSingleValue(node, entry->kind);
            }
            if (entry->subTable != nullptr) parseBlock(node, entry->subTable);
            return node;
        }
    }

    static TokenKind tokenFor(ValueKind kind) {
        switch (kind) {
            case ValueKind::Integer:
            case ValueKind::IntegerList:
                return TokenKind::Integer;
            case ValueKind::Float:
            case ValueKind::FloatList:
                return TokenKind::Float;
            case ValueKind::Text:
            case ValueKind::TextList:
                break;
        }
        return TokenKind::Text;
    }

    void parseSingleValue(ParseNode* node, ValueKind kind) {
        TokenKind expected = tokenFor(kind);
        if (!at(expected)) {
            fail(expected, kValueRecovery);
            return;
        }
        switch (expected) {
            case TokenKind::Integer:
                node->intValue = integerValue(lexer_.text());
                break;
            case TokenKind::Float:
                node->floatValue = floatValue(lexer_.text(), lexer_.textLength());
                break;
            default:
                node->text = copyText(lexer_.text(), lexer_.textLength());
                break;
        }
        lexer_.advance();
    }

    // Appends one element; false (after the error and recovery) when it is missing.
    bool parseElement(ParseNode* node, TokenKind expected) {
        ParseValue* value = node->appendValue();
        if (!at(expected)) {
            fail(expected, kToEnd);
            return false;
        }
        switch (expected) {
            case TokenKind::Integer:
                value->intValue = integerValue(lexer_.text());
                break;
            case TokenKind::Float:
                value->floatValue = floatValue(lexer_.text(), lexer_.textLength());
                break;
            default:
                value->text = copyText(lexer_.text(), lexer_.textLength());
                break;
        }
        lexer_.advance();
        return true;
    }

    void parseList(ParseNode* node, ValueKind kind) {
        TokenKind element = tokenFor(kind);
        if (!at(TokenKind::LeftBracket)) {
            fail(TokenKind::LeftBracket, kToEnd);
            return;
        }
        lexer_.advance();
        if (!parseElement(node, element)) return;
        while (at(TokenKind::Comma)) {
            lexer_.advance();
            if (!parseElement(node, element)) return;
        }
        if (!at(TokenKind::RightBracket)) {
            fail(TokenKind::RightBracket, kToEnd);
            return;
        }
        lexer_.advance();
    }

    void parseBlock(ParseNode* node, const KeywordEntry* table) {
        if (at(TokenKind::LeftBrace)) {
            lexer_.advance();
        } else {
            // The statements and the "}" are still attempted after the recovery.
            fail(TokenKind::LeftBrace, kToEnd);
        }
        ParseNode** link = &node->firstChild;
        do {
            if (ParseNode* statement = parseStatement(table)) {
                *link = statement;
                link = &statement->next;
            }
        } while (at(TokenKind::Identifier));
        if (!at(TokenKind::RightBrace)) {
            fail(TokenKind::RightBrace, kToEnd);
            return;
        }
        lexer_.advance();
    }

    Lexer lexer_;
    FILE* messages_;
    int syntaxErrors_ = 0;
    bool consumedSinceRecovery_ = true;
};

}  // namespace

ParseResult parseText(const char* data, size_t size, FILE* messages) {
    std::vector<char> text(data, data + size);
    size = joinLineEnds(text.data(), text.size());
    Parser parser(text.data(), size, messages);
    return parser.parseDescription();
}

ParseResult parseDescription(const char* path, FILE* messages) {
    std::vector<char> text;
    FILE* file = openInputFile(path);
    bool ok = file != nullptr;
    if (ok) {
        char chunk[65536];
        size_t n;
        while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
            text.insert(text.end(), chunk, chunk + n);
        }
        ok = std::ferror(file) == 0;
        std::fclose(file);
    }
    if (!ok) {
        if (messages != nullptr) std::fprintf(messages, "cannot open %s\n", path);
        ParseResult result;
        result.opened = false;
        return result;
    }
    size_t size = joinLineEnds(text.data(), text.size());
    Parser parser(text.data(), size, messages);
    return parser.parseDescription();
}
