#include "calc/Parser.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <functional>
#include <utility>

namespace vx::calc {

namespace {

template <typename T>
using Symbols = std::array<std::pair<std::string_view, T>, 2>;

// The operators of a sum and of a product, each level read from the left.
constexpr Symbols<Op> kSums{{{"+", Op::Add}, {"-", Op::Subtract}}};
constexpr Symbols<Op> kProducts{{{"*", Op::Multiply}, {"/", Op::Divide}}};
// The comparisons a limit takes; the lexer reads "<=" as one symbol.
constexpr std::array<std::pair<std::string_view, Compare>, 4> kCompares{{
    {"<", Compare::Less},
    {"<=", Compare::LessEqual},
    {">", Compare::Greater},
    {">=", Compare::GreaterEqual},
}};

constexpr std::string_view kSymbols = "+-*/^(),=<>";
constexpr std::string_view kFor = "for";

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool isNameStart(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

bool isNameChar(char c) {
    return isNameStart(c) || isDigit(c);
}

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

// Characters of UTF-8 text: the bytes that do not continue one.
std::size_t characters(std::string_view text) {
    return std::size_t(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

const Function* function(std::string_view name) {
    const auto* f = std::find_if(kFunctions.begin(), kFunctions.end(),
                                 [&](const Function& g) { return g.name == name; });
    return f == kFunctions.end() ? nullptr : f;
}

std::string quoted(std::string_view text) {
    return '"' + std::string(text) + '"';
}

// "V, I": the name of each item, by `name`, a member or a function.
template <typename Items, typename Name>
std::string joined(const Items& items, Name name) {
    std::string out;
    for (const auto& item : items) {
        out += out.empty() ? "" : ", ";
        out += std::invoke(name, item);
    }
    return out;
}

enum class Kind { End, Number, Name, Symbol, Bad };

struct Token {
    Kind kind = Kind::End;
    std::string_view text;
    std::size_t at = 0;  // byte offset in the whole text
    double number = 0.0;
};

class Parser {
public:
    Parser(std::string_view text, const Scope& scope) : text_(text), scope_(scope) {
        if (characters(text) > kMaxLength) {
            error_ = "longer than " + std::to_string(kMaxLength) + " characters";
            return;
        }
        advance();
    }

    ParsedDefinition definition() {
        ParsedDefinition out;
        if (error_.empty() && token_.kind != Kind::Name) {
            expected("a channel name");
        }
        if (error_.empty()) {
            out.name = self_ = token_.text;
            if (std::string why = nameFault(self_, scope_.channels); !why.empty()) {
                fail(std::move(why));
            }
        }
        if (error_.empty()) {
            advance();
            if (!is("=")) {
                expected(quoted("="));
            }
        }
        if (error_.empty()) {
            advance();
            if (sum() && token_.kind != Kind::End) {
                expected("an operator or the end");
            }
        }
        out.expression = std::move(out_);
        out.error = std::move(error_);
        return out;
    }

    ParsedLimit limit() {
        ParsedLimit out;
        if (error_.empty() && sum()) {
            comparison(out);
        }
        out.expression = std::move(out_);
        out.error = std::move(error_);
        return out;
    }

private:
    // After the limit's expression: the comparison, the threshold and the hold.
    void comparison(ParsedLimit& out) {
        const Compare* compare = symbol(kCompares);
        if (compare == nullptr) {
            expected("an operator or a comparison (<, <=, >, >=)");
            return;
        }
        out.compare = *compare;
        advance();
        const bool negative = is("-");
        if (negative) {
            advance();
        }
        if (token_.kind != Kind::Number) {
            expected("a number");
            return;
        }
        out.threshold = negative ? -token_.number : token_.number;
        advance();
        if (token_.kind == Kind::Name && token_.text == kFor) {
            // The time is read by the caller: not a token of its own.
            std::size_t at = token_.at + kFor.size();
            while (at < text_.size() && isBlank(text_[at])) {
                ++at;
            }
            std::string_view hold = text_.substr(at);
            while (!hold.empty() && isBlank(hold.back())) {
                hold.remove_suffix(1);
            }
            if (hold.empty()) {
                previous_ = kFor;
                token_ = Token{.kind = Kind::End, .text = {}, .at = text_.size()};
                expected("a time");
                return;
            }
            out.hold = hold;
            out.holdColumn = at + 1;
        } else if (token_.kind != Kind::End) {
            expected(R"("for" or the end)");
        }
    }

    bool sum() { return leftToRight(&Parser::product, kSums); }

    bool product() { return leftToRight(&Parser::unary, kProducts); }

    // operand (operator operand)*, each operator applied to all before it.
    bool leftToRight(bool (Parser::*operand)(), const Symbols<Op>& operators) {
        if (!(this->*operand)()) {
            return false;
        }
        while (const Op* op = symbol(operators)) {
            advance();
            if (!(this->*operand)()) {
                return false;
            }
            emitStep({.op = *op}, -1);
        }
        return true;
    }

    // What the current token stands for in `symbols`; null when it is none of them.
    template <typename T, std::size_t N>
    const T* symbol(const std::array<std::pair<std::string_view, T>, N>& symbols) const {
        for (const auto& [text, meaning] : symbols) {
            if (is(text)) {
                return &meaning;
            }
        }
        return nullptr;
    }

    // Every level of nesting passes here once, so the depth is counted here.
    bool unary() {
        if (++depth_ > kMaxDepth) {
            return fail("nested deeper than " + std::to_string(kMaxDepth) + " levels", token_.at);
        }
        bool ok = false;
        if (is("-")) {
            advance();
            ok = unary();
            emitStep({.op = Op::Negate}, 0);
        } else {
            ok = power();
        }
        --depth_;
        return ok;
    }

    bool power() {
        if (!primary()) {
            return false;
        }
        if (is("^")) {
            advance();
            if (!unary()) {
                return false;
            }
            emitStep({.op = Op::Power}, -1);
        }
        return true;
    }

    bool primary() {
        const Token t = token_;
        if (t.kind == Kind::Number) {
            emitStep({.op = Op::Number, .number = t.number}, 1);
            advance();
            return true;
        }
        if (is("(")) {
            advance();
            if (!sum()) {
                return false;
            }
            if (!is(")")) {
                return expected(R"x(an operator or ")")x");
            }
            advance();
            return true;
        }
        if (t.kind != Kind::Name) {
            return expected(R"(a number, a channel or "(")");
        }
        advance();
        if (const Function* f = function(t.text)) {
            return call(*f, t);
        }
        if (is("(")) {
            return fail("no function " + std::string(t.text) +
                        "; functions: " + joined(kFunctions, &Function::name));
        }
        return channel(t.text);
    }

    bool call(const Function& f, const Token& name) {
        if (!is("(")) {
            return expected(quoted("("));
        }
        std::uint32_t count = 0;
        do {
            advance();
            if (!sum()) {
                return false;
            }
            ++count;
        } while (is(","));
        if (!is(")")) {
            return expected(R"x(an operator, "," or ")")x");
        }
        advance();
        if (count < f.least || count > f.most) {
            const std::string least = std::to_string(f.least);
            return fail(std::string(f.name) + " takes " +
                            (f.most == f.least ? least : "at least " + least) +
                            (f.least == 1 ? " argument" : " arguments") + ", not " +
                            std::to_string(count),
                        name.at);
        }
        switch (f.op) {
            case Op::Min:
            case Op::Max:
                emitStep({.op = f.op, .index = count}, 1 - int(count));
                break;
            case Op::Integral:
                emitStep({.op = f.op, .index = std::uint32_t(out_.integrals++)}, 0);
                break;
            default:
                emitStep({.op = f.op}, 0);
                break;
        }
        return true;
    }

    bool channel(std::string_view name) {
        const auto& known = scope_.channels;
        const auto found = std::find(known.begin(), known.end(), name);
        if (found != known.end()) {
            emitStep({.op = Op::Channel, .index = std::uint32_t(found - known.begin())}, 1);
            return true;
        }
        const std::string n(name);
        if (name == self_) {
            return fail(n + " cannot use itself");
        }
        if (std::find(scope_.later.begin(), scope_.later.end(), name) != scope_.later.end()) {
            return fail(n + " is computed after " + std::string(self_) +
                        "; a channel may use only the meters and the channels computed before it");
        }
        return fail(
            "no channel " + n + "; channels: " +
            (known.empty() ? "none" : joined(known, [](const std::string& n) { return n; })));
    }

    void emitStep(Step step, int stackChange) {
        out_.steps.push_back(step);
        height_ = std::size_t(std::ptrdiff_t(height_) + stackChange);
        out_.stack = std::max(out_.stack, height_);
    }

    bool is(std::string_view symbol) const {
        return token_.kind == Kind::Symbol && token_.text == symbol;
    }

    // "expected WHAT after "*" (column 5)": the current token is not `what`.
    bool expected(std::string_view what) {
        const std::string where =
            previous_.empty() ? " at the start" : " after " + quoted(previous_);
        return fail("expected " + std::string(what) + where, token_.at);
    }

    // Keeps the first fault only: a later one follows from it.
    bool fail(std::string what) {
        if (error_.empty()) {
            error_ = std::move(what);
        }
        return false;
    }

    bool fail(const std::string& what, std::size_t at) {
        return fail(what + " (column " + std::to_string(at + 1) + ")");
    }

    void advance() {
        previous_ = token_.text;
        token_ = lex();
    }

    Token lex() {
        std::size_t at = pos_;
        while (at < text_.size() && isBlank(text_[at])) {
            ++at;
        }
        Token t{.kind = Kind::End, .text = {}, .at = at};
        pos_ = at;
        if (at == text_.size()) {
            return t;
        }
        const char c = text_[at];
        if (isNameStart(c)) {
            while (pos_ < text_.size() && isNameChar(text_[pos_])) {
                ++pos_;
            }
            t.kind = Kind::Name;
        } else if (isDigit(c) || (c == '.' && at + 1 < text_.size() && isDigit(text_[at + 1]))) {
            return number(t);
        } else if (kSymbols.find(c) != std::string_view::npos) {
            const bool twoChars =
                (c == '<' || c == '>') && at + 1 < text_.size() && text_[at + 1] == '=';
            pos_ = at + (twoChars ? 2 : 1);
            t.kind = Kind::Symbol;
        } else {
            return unexpected(t);
        }
        t.text = text_.substr(at, pos_ - at);
        return t;
    }

    Token number(Token t) {
        const auto digits = [&] {
            while (pos_ < text_.size() && isDigit(text_[pos_])) {
                ++pos_;
            }
        };
        digits();
        if (pos_ < text_.size() && text_[pos_] == '.') {
            ++pos_;
            digits();
        }
        if (pos_ < text_.size() && (text_[pos_] == 'e' || text_[pos_] == 'E')) {
            ++pos_;
            if (pos_ < text_.size() && (text_[pos_] == '+' || text_[pos_] == '-')) {
                ++pos_;
            }
            if (pos_ == text_.size() || !isDigit(text_[pos_])) {
                t.kind = Kind::Bad;
                fail("expected the digits of an exponent after " +
                         quoted(text_.substr(t.at, pos_ - t.at)),
                     pos_);
                return t;
            }
            digits();
        }
        t.text = text_.substr(t.at, pos_ - t.at);
        const auto [end, ec] = std::from_chars(t.text.data(), t.text.data() + t.text.size(),
                                               t.number, std::chars_format::general);
        if (ec != std::errc() || end != t.text.data() + t.text.size() || !std::isfinite(t.number)) {
            t.kind = Kind::Bad;
            fail(quoted(t.text) + " is out of range", t.at);
            return t;
        }
        t.kind = Kind::Number;
        return t;
    }

    // A character that starts no token: shown as it is, a control character
    // by its code.
    Token unexpected(Token t) {
        const auto c = static_cast<unsigned char>(text_[t.at]);
        t.kind = Kind::Bad;
        if (c < 0x20 || c == 0x7F) {
            constexpr std::string_view kHex = "0123456789ABCDEF";
            fail(std::string("unexpected control character 0x") + kHex[c >> 4] + kHex[c & 0xF],
                 t.at);
            return t;
        }
        std::size_t end = t.at + 1;
        while (c >= 0x80 && end < text_.size() && end - t.at < 4 &&
               (static_cast<unsigned char>(text_[end]) & 0xC0) == 0x80) {
            ++end;
        }
        fail("unexpected " + quoted(text_.substr(t.at, end - t.at)), t.at);
        return t;
    }

    std::string_view text_;
    const Scope& scope_;
    std::string_view self_;      // the channel being defined
    std::size_t pos_ = 0;        // where the next token is looked for
    Token token_;                // the current token
    std::string_view previous_;  // the token before it, for messages
    Expression out_;
    std::size_t height_ = 0;  // values on the stack after the steps so far
    int depth_ = 0;
    std::string error_;
};

}  // namespace

ParsedDefinition parseDefinition(std::string_view text, const Scope& scope) {
    return Parser(text, scope).definition();
}

ParsedLimit parseLimit(std::string_view text, const Scope& scope) {
    return Parser(text, scope).limit();
}

std::string_view definedName(std::string_view text) {
    std::size_t at = 0;
    while (at < text.size() && isBlank(text[at])) {
        ++at;
    }
    std::size_t end = at;
    if (end < text.size() && isNameStart(text[end])) {
        while (end < text.size() && isNameChar(text[end])) {
            ++end;
        }
    }
    return text.substr(at, end - at);
}

std::string nameFault(std::string_view name, std::span<const std::string> channels) {
    const std::string n(name);
    if (name.empty() || !isNameStart(name[0]) ||
        !std::all_of(name.begin(), name.end(), isNameChar)) {
        return quoted(name) +
               R"( is not a channel name: a letter or "_" first, then letters, digits or "_")";
    }
    if (function(name) != nullptr) {
        return n + " is a function, not a channel name";
    }
    if (std::find(channels.begin(), channels.end(), name) != channels.end()) {
        return "there is already a channel " + n;
    }
    return {};
}

bool holds(Compare compare, double value, double threshold) {
    switch (compare) {
        case Compare::Less:
            return value < threshold;
        case Compare::LessEqual:
            return value <= threshold;
        case Compare::Greater:
            return value > threshold;
        case Compare::GreaterEqual:
            return value >= threshold;
    }
    return false;
}

}  // namespace vx::calc
