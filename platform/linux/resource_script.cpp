// A reader for the resource-script subset we use. Two passes: the text becomes tokens
// (comments and preprocessor lines dropped), then statements are read from the tokens.
// Every loop consumes a token or stops at the end, so no input can make it hang.
#include "resource_script.h"

#include <cctype>
#include <cstdint>
#include <strings.h>

namespace zod {
namespace {

enum class Kind { Word, Number, String, Punct, End };

struct Token {
    Kind kind = Kind::End;
    std::string text; // a string's text has its escapes resolved
    uint32_t value = 0;
    int line = 1;
};

constexpr int kMaxMenuDepth = 16;

bool IsWordStart(char c) {
    return std::isalpha(static_cast<unsigned char>(c)) || c == '_';
}

bool IsWordChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.';
}

class Lexer {
  public:
    explicit Lexer(std::string_view text) : text_(text) {}

    bool Run(std::vector<Token>& tokens, std::string& error) {
        if (Starts("\xEF\xBB\xBF"))
            pos_ = 3; // a UTF-8 byte-order mark
        bool lineStart = true;
        while (pos_ < text_.size()) {
            const char c = text_[pos_];
            if (c == '\n') {
                ++line_;
                ++pos_;
                lineStart = true;
            } else if (std::isspace(static_cast<unsigned char>(c))) {
                ++pos_;
            } else if (c == '#' && lineStart) {
                SkipDirective();
            } else if (Starts("//")) {
                while (pos_ < text_.size() && text_[pos_] != '\n')
                    ++pos_;
            } else if (Starts("/*")) {
                if (!SkipBlockComment())
                    return Fail("comment never closed", error);
            } else {
                lineStart = false;
                Token token;
                token.line = line_;
                if (c == '"' || (c == 'L' && Starts("L\""))) {
                    if (!ReadString(token))
                        return Fail("string never closed", error);
                } else if (std::isdigit(static_cast<unsigned char>(c))) {
                    if (!ReadNumber(token))
                        return Fail("bad number", error);
                } else if (IsWordStart(c)) {
                    token.kind = Kind::Word;
                    while (pos_ < text_.size() && IsWordChar(text_[pos_]))
                        token.text += text_[pos_++];
                } else if (std::ispunct(static_cast<unsigned char>(c))) {
                    token.kind = Kind::Punct;
                    token.text = std::string(1, c);
                    ++pos_;
                } else {
                    return Fail("unexpected character", error);
                }
                tokens.push_back(std::move(token));
            }
        }
        Token end;
        end.line = line_;
        tokens.push_back(end);
        return true;
    }

  private:
    bool Starts(std::string_view s) const { return text_.substr(pos_, s.size()) == s; }

    bool Fail(const char* message, std::string& error) const {
        error = "line " + std::to_string(line_) + ": " + message;
        return false;
    }

    // To the end of the line, following backslash continuations.
    void SkipDirective() {
        while (pos_ < text_.size() && text_[pos_] != '\n') {
            if (text_[pos_] == '\\' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '\n') {
                ++line_;
                ++pos_;
            }
            ++pos_;
        }
    }

    bool SkipBlockComment() {
        pos_ += 2;
        while (pos_ < text_.size()) {
            if (Starts("*/")) {
                pos_ += 2;
                return true;
            }
            if (text_[pos_++] == '\n')
                ++line_;
        }
        return false;
    }

    // "" stands for one quote; the usual backslash escapes are resolved too.
    bool ReadString(Token& token) {
        token.kind = Kind::String;
        if (text_[pos_] == 'L')
            ++pos_;
        ++pos_;
        while (pos_ < text_.size()) {
            char c = text_[pos_++];
            if (c == '\n')
                return false;
            if (c == '"') {
                if (pos_ < text_.size() && text_[pos_] == '"') {
                    token.text += '"';
                    ++pos_;
                    continue;
                }
                return true;
            }
            if (c == '\\' && pos_ < text_.size() && text_[pos_] != '\n') {
                char e = text_[pos_++];
                switch (e) {
                case 'n':
                    c = '\n';
                    break;
                case 't':
                    c = '\t';
                    break;
                case 'r':
                    c = '\r';
                    break;
                case 'a':
                    c = '\b'; // right-aligns the rest of a menu text
                    break;
                case '0':
                    c = '\0';
                    break;
                case '\\':
                case '"':
                    c = e;
                    break;
                default:
                    token.text += '\\';
                    c = e;
                }
            }
            token.text += c;
        }
        return false;
    }

    // Decimal or 0x hexadecimal, with an optional L/U suffix; at most 32 bits.
    bool ReadNumber(Token& token) {
        token.kind = Kind::Number;
        int base = 10;
        if (Starts("0x") || Starts("0X")) {
            base = 16;
            pos_ += 2;
        }
        uint64_t value = 0;
        size_t digits = 0;
        while (pos_ < text_.size() && std::isxdigit(static_cast<unsigned char>(text_[pos_]))) {
            char c = text_[pos_];
            if (base == 10 && !std::isdigit(static_cast<unsigned char>(c)))
                break;
            int d = std::isdigit(static_cast<unsigned char>(c))
                        ? c - '0'
                        : std::tolower(static_cast<unsigned char>(c)) - 'a' + 10;
            value = value * uint64_t(base) + uint64_t(d);
            if (value > UINT32_MAX)
                return false;
            ++digits;
            ++pos_;
        }
        while (pos_ < text_.size() &&
               std::string_view("lLuU").find(text_[pos_]) != std::string_view::npos)
            ++pos_;
        if (digits == 0 || (pos_ < text_.size() && IsWordChar(text_[pos_])))
            return false;
        token.value = uint32_t(value);
        return true;
    }

    std::string_view text_;
    size_t pos_ = 0;
    int line_ = 1;
};

bool Is(const Token& t, const char* word) {
    return t.kind == Kind::Word && strcasecmp(t.text.c_str(), word) == 0;
}

bool IsAnyOf(const Token& t, std::initializer_list<const char*> words) {
    for (const char* w : words)
        if (Is(t, w))
            return true;
    return false;
}

bool IsPunct(const Token& t, char c) {
    return t.kind == Kind::Punct && t.text.size() == 1 && t.text[0] == c;
}

bool IsBegin(const Token& t) {
    return Is(t, "BEGIN") || IsPunct(t, '{');
}

bool IsEnd(const Token& t) {
    return Is(t, "END") || IsPunct(t, '}');
}

bool IsMemoryFlag(const Token& t) {
    return IsAnyOf(t, {"DISCARDABLE", "MOVEABLE", "FIXED", "PURE", "IMPURE", "PRELOAD",
                       "LOADONCALL", "SHARED", "NONSHARED"});
}

class Parser {
  public:
    Parser(const std::vector<Token>& tokens, ResourceScript& out) : t_(tokens), out_(out) {}

    bool Run(std::string& error) {
        while (Peek().kind != Kind::End) {
            if (!Statement()) {
                error = error_;
                return false;
            }
        }
        return true;
    }

  private:
    const Token& Peek() const { return t_[pos_]; }
    const Token& Next() {
        const Token& t = t_[pos_];
        if (t.kind != Kind::End)
            ++pos_;
        return t;
    }

    bool Fail(const Token& at, const std::string& message) {
        std::string found = at.kind == Kind::End      ? "the end"
                            : at.kind == Kind::String ? "\"" + at.text + "\""
                            : at.kind == Kind::Number ? std::to_string(at.value)
                                                      : at.text;
        error_ = "line " + std::to_string(at.line) + ": " + message + ", found " + found;
        return false;
    }

    bool Statement() {
        const Token& first = Next();
        if (Is(first, "LANGUAGE"))
            return Language();
        if (Is(first, "STRINGTABLE"))
            return SkipToBlock() && SkipBlock();
        if (first.kind != Kind::Word && first.kind != Kind::Number)
            return Fail(first, "expected a resource name");
        std::string name =
            first.kind == Kind::Number ? "#" + std::to_string(first.value) : first.text;
        const Token& type = Next();
        if (Is(type, "MENU"))
            return Menu(name);
        if (Is(type, "ICON") || Is(type, "CURSOR")) {
            SkipMemoryFlags();
            const Token& file = Next();
            if (file.kind != Kind::String)
                return Fail(file, "expected a quoted file name");
            (Is(type, "ICON") ? out_.icons : out_.cursors).push_back({name, file.text});
            return true;
        }
        if (IsAnyOf(type, {"MENUEX", "DIALOG", "DIALOGEX", "VERSIONINFO", "ACCELERATORS", "TOOLBAR",
                           "DLGINIT"}))
            return SkipToBlock() && SkipBlock();
        if (type.kind != Kind::Word && type.kind != Kind::Number)
            return Fail(type, "expected a resource type after " + name);
        // Any other type holds either a file name or a block of data.
        SkipMemoryFlags();
        if (Peek().kind == Kind::String) {
            Next();
            return true;
        }
        if (IsBegin(Peek()))
            return SkipBlock();
        return Fail(Peek(), "expected a file name or BEGIN");
    }

    bool Language() {
        if (!Value() || !IsPunct(Next(), ',') || !Value())
            return Fail(t_[pos_ == 0 ? 0 : pos_ - 1], "expected LANGUAGE language, sublanguage");
        return true;
    }

    bool Value() {
        const Token& t = Next();
        return t.kind == Kind::Number || t.kind == Kind::Word;
    }

    void SkipMemoryFlags() {
        while (IsMemoryFlag(Peek()))
            Next();
    }

    // Header lines of a block resource (sizes, styles, FILEVERSION...) up to its BEGIN.
    bool SkipToBlock() {
        while (!IsBegin(Peek())) {
            if (Peek().kind == Kind::End || IsEnd(Peek()))
                return Fail(Peek(), "expected BEGIN");
            Next();
        }
        return true;
    }

    // From BEGIN to its matching END, nested blocks included.
    bool SkipBlock() {
        int depth = 0;
        do {
            const Token& t = Next();
            if (t.kind == Kind::End)
                return Fail(t, "expected END");
            if (IsBegin(t))
                ++depth;
            else if (IsEnd(t))
                --depth;
        } while (depth > 0);
        return true;
    }

    bool Menu(const std::string& name) {
        while (!IsBegin(Peek())) {
            const Token& t = Next();
            if (IsMemoryFlag(t))
                continue;
            if (IsAnyOf(t, {"CHARACTERISTICS", "VERSION"}) && Value())
                continue;
            if (Is(t, "LANGUAGE") && Language())
                continue;
            return Fail(t, "expected BEGIN after MENU");
        }
        zod::Menu menu;
        menu.name = name;
        if (!MenuBody(menu.popups, 0))
            return false;
        out_.menus.push_back(std::move(menu));
        return true;
    }

    bool MenuBody(std::vector<MenuItem>& items, int depth) {
        if (depth > kMaxMenuDepth)
            return Fail(Peek(), "menus nested too deeply");
        const Token& begin = Next();
        if (!IsBegin(begin))
            return Fail(begin, "expected BEGIN");
        for (;;) {
            const Token& t = Next();
            if (IsEnd(t))
                return true;
            MenuItem item;
            if (Is(t, "MENUITEM")) {
                if (Is(Peek(), "SEPARATOR")) {
                    Next();
                } else {
                    const Token& text = Next();
                    if (text.kind != Kind::String)
                        return Fail(text, "expected the item's text");
                    item.text = text.text;
                    const Token& comma = Next();
                    if (!IsPunct(comma, ','))
                        return Fail(comma, "expected a comma after the item's text");
                    const Token& id = Next();
                    if (id.kind != Kind::Number || id.value > 0xFFFF)
                        return Fail(id, "expected a command id from 0 to 65535");
                    item.id = int(id.value);
                    if (!Flags(item))
                        return false;
                }
            } else if (Is(t, "POPUP")) {
                const Token& text = Next();
                if (text.kind != Kind::String)
                    return Fail(text, "expected the popup's text");
                item.text = text.text;
                if (!Flags(item) || !MenuBody(item.items, depth + 1))
                    return false;
            } else {
                return Fail(t, "expected MENUITEM, POPUP or END");
            }
            items.push_back(std::move(item));
        }
    }

    // Flags follow the id, each after a comma or a space.
    bool Flags(MenuItem& item) {
        for (;;) {
            bool comma = IsPunct(Peek(), ',');
            if (comma)
                Next();
            const Token& t = Peek();
            if (Is(t, "GRAYED") || Is(t, "INACTIVE")) {
                item.grayed = true;
            } else if (!IsAnyOf(t, {"CHECKED", "MENUBARBREAK", "MENUBREAK", "HELP"})) {
                return comma ? Fail(t, "expected a menu flag") : true;
            }
            Next();
        }
    }

    const std::vector<Token>& t_;
    ResourceScript& out_;
    size_t pos_ = 0;
    std::string error_;
};

} // namespace

bool ParseResourceScript(std::string_view text, ResourceScript& out, std::string* error) {
    std::vector<Token> tokens;
    std::string message;
    ResourceScript script;
    bool ok = Lexer(text).Run(tokens, message) && Parser(tokens, script).Run(message);
    if (!ok) {
        if (error)
            *error = message;
        return false;
    }
    out = std::move(script);
    return true;
}

} // namespace zod
