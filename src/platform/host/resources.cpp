// The program's dialog templates, read from its resource script as the resource compiler
// would: DIALOG blocks of CONTROL statements, with ids and styles given as numbers, macros
// of the included headers, or expressions of both ("|", "NOT", parentheses, unary minus),
// and control classes as names, macros or the atoms of the predefined classes. The
// preprocessor's #include, #define, #undef and the conditionals are followed; like the
// resource compiler, only RC_INVOKED is defined beforehand.
#include "platform/host/sim_state.h"

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

namespace sim {
namespace detail {

namespace {

struct Token {
    enum Kind { Word, Number, String, Punct } kind;
    std::string text;
};

using Defines = std::map<std::string, std::string>;

struct Parser {
    Defines defines;
    std::string error;

    void fail(const std::string& message) {
        if (error.empty())
            error = message;
    }

    static std::string folderOf(const std::string& path) {
        size_t slash = path.find_last_of("/\\");
        return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    }

    static std::string trim(const std::string& s) {
        size_t b = s.find_first_not_of(" \t\r");
        size_t e = s.find_last_not_of(" \t\r");
        return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
    }

    // Whether a conditional's condition holds: "defined X", "defined(X)", "!" before
    // either, or a numeric expression of macros.
    bool condition(const std::string& text) {
        std::string t = trim(text);
        bool negate = false;
        while (!t.empty() && t[0] == '!') {
            negate = !negate;
            t = trim(t.substr(1));
        }
        bool holds;
        if (t.compare(0, 7, "defined") == 0) {
            std::string name = t.substr(7);
            for (char& c : name)
                if (c == '(' || c == ')')
                    c = ' ';
            holds = defines.count(trim(name)) != 0;
        } else {
            std::string saved = error;
            std::vector<Token> tokens = tokenize(t);
            size_t i = 0;
            holds = !tokens.empty() && expression(tokens, &i, 0) != 0;
            error = saved; // an unknown name in a condition counts as 0, as in C
        }
        return holds != negate;
    }

    // Reads a file's preprocessor lines and returns the others that are not excluded by a
    // conditional.
    std::vector<std::string> preprocess(const std::string& path, int depth) {
        std::vector<std::string> body;
        std::ifstream in(path, std::ios::binary);
        if (!in) {
            fail("cannot read " + path);
            return body;
        }
        // One entry per open conditional: whether its current branch is taken, and
        // whether any branch of it has been.
        struct Branch {
            bool taking;
            bool taken;
        };
        std::vector<Branch> branches;
        auto active = [&branches] {
            for (const Branch& b : branches)
                if (!b.taking)
                    return false;
            return true;
        };
        std::string line;
        while (std::getline(in, line)) {
            std::string t = trim(line);
            if (t.empty() || t[0] != '#') {
                if (active())
                    body.push_back(line);
                continue;
            }
            std::istringstream words(trim(t.substr(1)));
            std::string directive;
            words >> directive;
            std::string rest;
            std::getline(words, rest);
            rest = trim(rest);
            if (directive == "ifdef" || directive == "ifndef" || directive == "if") {
                bool holds = false;
                if (active())
                    holds = directive == "if"
                                ? condition(rest)
                                : (defines.count(rest) != 0) == (directive == "ifdef");
                branches.push_back(Branch{holds, holds});
                continue;
            }
            if (directive == "elif" || directive == "else") {
                if (branches.empty()) {
                    fail(
                        std::string("#").append(directive).append(" without #if in ").append(path));
                    continue;
                }
                Branch& b = branches.back();
                b.taking = false;
                branches.pop_back();
                bool outer = active();
                branches.push_back(b);
                if (outer && !b.taken && (directive == "else" || condition(rest)))
                    branches.back().taking = branches.back().taken = true;
                continue;
            }
            if (directive == "endif") {
                if (!branches.empty())
                    branches.pop_back();
                continue;
            }
            if (!active())
                continue;
            if (directive == "include" && depth < 8) {
                size_t open = rest.find_first_of("\"<");
                size_t close = rest.find_last_of("\">");
                if (open != std::string::npos && close > open)
                    preprocess(folderOf(path) + rest.substr(open + 1, close - open - 1), depth + 1);
            } else if (directive == "define") {
                std::istringstream definition(rest);
                std::string name, value;
                definition >> name;
                std::getline(definition, value);
                if (name.find('(') == std::string::npos)
                    defines[name] = trim(value);
            } else if (directive == "undef") {
                defines.erase(rest);
            }
        }
        return body;
    }

    std::vector<Token> tokenize(const std::string& text) {
        std::vector<Token> out;
        size_t i = 0, n = text.size();
        while (i < n) {
            char c = text[i];
            if (std::isspace(static_cast<unsigned char>(c))) {
                ++i;
            } else if (c == '/' && i + 1 < n && text[i + 1] == '/') {
                while (i < n && text[i] != '\n')
                    ++i;
            } else if (c == '/' && i + 1 < n && text[i + 1] == '*') {
                size_t end = text.find("*/", i + 2);
                i = end == std::string::npos ? n : end + 2;
            } else if (c == '"') {
                out.push_back(Token{Token::String, readString(text, &i)});
            } else if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
                size_t b = i;
                while (i < n && (std::isalnum(static_cast<unsigned char>(text[i])) ||
                                 text[i] == '_' || text[i] == '.'))
                    ++i;
                out.push_back(Token{Token::Word, text.substr(b, i - b)});
            } else if (std::isdigit(static_cast<unsigned char>(c))) {
                size_t b = i;
                while (i < n && std::isalnum(static_cast<unsigned char>(text[i])))
                    ++i;
                out.push_back(Token{Token::Number, text.substr(b, i - b)});
            } else {
                out.push_back(Token{Token::Punct, std::string(1, c)});
                ++i;
            }
        }
        return out;
    }

    // A quoted string: "" stands for one quote, and the C escapes are understood.
    std::string readString(const std::string& text, size_t* pos) {
        std::string out;
        size_t i = *pos + 1, n = text.size();
        while (i < n) {
            char c = text[i++];
            if (c == '"') {
                if (i < n && text[i] == '"') {
                    out += '"';
                    ++i;
                    continue;
                }
                break;
            }
            if (c == '\\' && i < n) {
                char e = text[i++];
                switch (e) {
                case 'n':
                    out += '\n';
                    break;
                case 't':
                    out += '\t';
                    break;
                case 'r':
                    out += '\r';
                    break;
                case 'a':
                    out += '\a';
                    break;
                case 'x': {
                    size_t b = i;
                    while (i < n && i < b + 2 && std::isxdigit(static_cast<unsigned char>(text[i])))
                        ++i;
                    out +=
                        static_cast<char>(std::strtol(text.substr(b, i - b).c_str(), nullptr, 16));
                    break;
                }
                default:
                    out += e;
                }
                continue;
            }
            out += c;
        }
        *pos = i;
        return out;
    }

    long long number(const std::string& text) {
        std::string digits = text;
        while (!digits.empty() && (digits.back() == 'L' || digits.back() == 'l' ||
                                   digits.back() == 'U' || digits.back() == 'u'))
            digits.pop_back();
        bool isHex =
            digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X');
        char* end = nullptr;
        long long v =
            std::strtoll(isHex ? digits.c_str() + 2 : digits.c_str(), &end, isHex ? 16 : 10);
        if (digits.empty() || *end)
            fail("not a number: " + text);
        return v;
    }

    // expression := term { "|" term };  term := "NOT" primary | primary
    long long expression(const std::vector<Token>& t, size_t* i, int depth) {
        long long value = 0;
        for (;;) {
            if (*i < t.size() && t[*i].kind == Token::Word && t[*i].text == "NOT") {
                ++*i;
                value &= ~primary(t, i, depth);
            } else {
                value |= primary(t, i, depth);
            }
            if (*i < t.size() && t[*i].kind == Token::Punct &&
                (t[*i].text == "|" || t[*i].text == "+")) {
                ++*i;
                continue;
            }
            return value;
        }
    }

    long long primary(const std::vector<Token>& t, size_t* i, int depth) {
        if (*i >= t.size()) {
            fail("expression ends too early");
            return 0;
        }
        const Token& tok = t[(*i)++];
        if (tok.kind == Token::Number)
            return number(tok.text);
        if (tok.kind == Token::Punct && tok.text == "-")
            return -primary(t, i, depth);
        if (tok.kind == Token::Punct && tok.text == "~")
            return ~primary(t, i, depth);
        if (tok.kind == Token::Punct && tok.text == "(") {
            long long v = expression(t, i, depth);
            if (*i < t.size() && t[*i].text == ")")
                ++*i;
            else
                fail("missing )");
            return v;
        }
        if (tok.kind == Token::Word) {
            auto it = defines.find(tok.text);
            if (it != defines.end() && depth < 16) {
                std::vector<Token> inner = tokenize(it->second);
                size_t j = 0;
                return expression(inner, &j, depth + 1);
            }
            fail("unknown name: " + tok.text);
            return 0;
        }
        fail("unexpected " + tok.text);
        return 0;
    }

    // Splits a statement's tokens at the commas outside parentheses.
    static std::vector<std::vector<Token>> arguments(const std::vector<Token>& t, size_t from) {
        std::vector<std::vector<Token>> out(1);
        int depth = 0;
        for (size_t i = from; i < t.size(); ++i) {
            if (t[i].kind == Token::Punct && t[i].text == "(")
                ++depth;
            if (t[i].kind == Token::Punct && t[i].text == ")")
                --depth;
            if (depth == 0 && t[i].kind == Token::Punct && t[i].text == ",")
                out.emplace_back();
            else
                out.back().push_back(t[i]);
        }
        return out;
    }

    long long value(const std::vector<Token>& t) {
        size_t i = 0;
        long long v = expression(t, &i, 0);
        if (i != t.size())
            fail("unexpected " + t[i].text);
        return v;
    }

    std::string stringArgument(const std::vector<Token>& t, int depth = 0) {
        if (t.size() == 1 && t[0].kind == Token::String)
            return t[0].text;
        if (t.size() == 1 && t[0].kind == Token::Word && defines.count(t[0].text) && depth < 16)
            return stringArgument(tokenize(defines[t[0].text]), depth + 1);
        fail("a quoted text was expected");
        return std::string();
    }

    // A control's class: its name, or the atom of a predefined class.
    std::string classArgument(const std::vector<Token>& t, int depth = 0) {
        if (t.size() == 1 && t[0].kind == Token::String)
            return t[0].text;
        if (t.size() == 1 && t[0].kind == Token::Word && defines.count(t[0].text) && depth < 16)
            return classArgument(tokenize(defines[t[0].text]), depth + 1);
        static const char* const atoms[] = {"Button",  "Edit",      "Static",
                                            "ListBox", "ScrollBar", "ComboBox"};
        long long atom = value(t);
        if (atom >= 0x80 && atom <= 0x85)
            return atoms[atom - 0x80];
        fail("not a control class: " + std::to_string(atom));
        return std::string();
    }

    std::vector<DialogTemplate> parse(const std::string& path) {
        std::vector<DialogTemplate> out;
        defines["RC_INVOKED"] = "1";
        std::vector<std::string> lines = preprocess(path, 0);
        // Statements are one line each; a line ending in "," or "|" goes on on the next.
        std::vector<std::vector<Token>> statements;
        std::string pending;
        for (const std::string& line : lines) {
            pending += line + "\n";
            std::string t = trim(line);
            if (!t.empty() && (t.back() == ',' || t.back() == '|'))
                continue;
            std::vector<Token> tokens = tokenize(pending);
            pending.clear();
            if (!tokens.empty())
                statements.push_back(tokens);
        }
        DialogTemplate* current = nullptr;
        bool inBlock = false;
        for (const std::vector<Token>& s : statements) {
            const std::string& head = s[0].text;
            if (!inBlock && s.size() >= 2 && s[1].kind == Token::Word &&
                (s[1].text == "DIALOG" || s[1].text == "DIALOGEX")) {
                out.push_back(DialogTemplate());
                current = &out.back();
                current->name = head;
                current->style = 0x80880000; // WS_POPUP | WS_BORDER | WS_SYSMENU
                std::vector<std::vector<Token>> args = arguments(s, 2);
                if (args.size() >= 4) {
                    current->x = static_cast<int>(value(args[0]));
                    current->y = static_cast<int>(value(args[1]));
                    current->width = static_cast<int>(value(args[2]));
                    current->height = static_cast<int>(value(args[3]));
                } else {
                    fail("DIALOG " + head + " lacks its position and size");
                }
            } else if (head == "BEGIN" || head == "{") {
                inBlock = current != nullptr;
            } else if (head == "END" || head == "}") {
                inBlock = false;
                current = nullptr;
            } else if (current && !inBlock && head == "STYLE") {
                std::vector<Token> rest(s.begin() + 1, s.end());
                current->style = static_cast<std::uint32_t>(value(rest));
            } else if (current && inBlock && head == "CONTROL") {
                std::vector<std::vector<Token>> args = arguments(s, 1);
                if (args.size() < 8) {
                    fail("CONTROL with too few arguments in " + current->name);
                    continue;
                }
                TemplateControl c;
                c.text = stringArgument(args[0]);
                c.id = static_cast<int>(value(args[1]));
                c.className = classArgument(args[2]);
                c.style = static_cast<std::uint32_t>(value(args[3]));
                c.x = static_cast<int>(value(args[4]));
                c.y = static_cast<int>(value(args[5]));
                c.width = static_cast<int>(value(args[6]));
                c.height = static_cast<int>(value(args[7]));
                current->controls.push_back(c);
            } else if (current && inBlock) {
                fail("statement not understood in " + current->name + ": " + head);
            }
        }
        return out;
    }
};

} // namespace

std::vector<DialogTemplate> parseResourceScript(const std::string& path, std::string* errorText) {
    Parser parser;
    std::vector<DialogTemplate> out = parser.parse(path);
    if (errorText)
        *errorText = parser.error;
    return out;
}

const std::vector<DialogTemplate>& dialogTemplates(std::string* errorText) {
    static std::string error;
    static const std::vector<DialogTemplate> templates =
        parseResourceScript(PANELCAL_RC_PATH, &error);
    if (errorText)
        *errorText = error;
    return templates;
}

} // namespace detail
} // namespace sim
