#include "objc/MethodSignature.hpp"

#include <cctype>
#include <cstdint>

namespace objc {

namespace {

constexpr std::size_t kMalformed = 0;

// The qualifiers a runtime writes before a type (const, in, inout, out, bycopy, byref, oneway,
// atomic, and GNU's gc-invisible mark); they say nothing about how a value travels.
bool isQualifier(char c) {
    return c == 'r' || c == 'n' || c == 'N' || c == 'o' || c == 'O' || c == 'R' || c == 'V' || c == 'A' ||
           c == '|';
}

std::size_t qualifiers(std::string_view text) {
    std::size_t n = 0;
    while (n < text.size() && isQualifier(text[n])) {
        ++n;
    }
    return n;
}

std::size_t digits(std::string_view text, std::size_t from) {
    std::size_t n = from;
    while (n < text.size() && std::isdigit(static_cast<unsigned char>(text[n])) != 0) {
        ++n;
    }
    return n - from;
}

// Measures one type at a time; a type nested past the limit is not followed, and is told apart from
// one that is malformed.
class TypeReader {
  public:
    bool tooDeep() const { return tooDeep_; }

    // The length of the one type at the start of `text`, qualifiers already passed; kMalformed when
    // there is none.
    std::size_t typeLength(std::string_view text, int depth) {
        if (depth > kMaxTypeNesting) {
            tooDeep_ = true;
            return kMalformed;
        }
        if (text.empty()) {
            return kMalformed;
        }
        switch (text[0]) {
        case 'c':
        case 'C':
        case 's':
        case 'S':
        case 'i':
        case 'I':
        case 'l':
        case 'L':
        case 'q':
        case 'Q':
        case 'f':
        case 'd':
        case 'D':
        case 'B':
        case 'v':
        case '*':
        case '#':
        case ':':
        case '?':
            return 1;
        case '@':
            if (text.size() > 1 && text[1] == '?') {
                return 2;
            }
            if (text.size() > 1 && text[1] == '"') {
                const std::size_t end = text.find('"', 2);
                return end == std::string_view::npos ? kMalformed : end + 1;
            }
            return 1;
        case '^':
        case 'j': {
            const std::size_t inner = qualifiedLength(text.substr(1), depth + 1);
            return inner == kMalformed ? kMalformed : 1 + inner;
        }
        case '[': {
            const std::size_t count = digits(text, 1);
            const std::size_t inner = qualifiedLength(text.substr(1 + count), depth + 1);
            const std::size_t end = 1 + count + inner;
            return inner == kMalformed || end >= text.size() || text[end] != ']' ? kMalformed : end + 1;
        }
        case '{':
            return aggregateLength(text, '}', depth);
        case '(':
            return aggregateLength(text, ')', depth);
        case 'b': {
            // A bit field: its width, or (GNU) its position, type and width.
            std::size_t at = 1 + digits(text, 1);
            if (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])) == 0 &&
                typeLength(text.substr(at, 1), depth + 1) == 1) {
                ++at;
                at += digits(text, at);
            }
            return at > 1 ? at : kMalformed;
        }
        default:
            return kMalformed;
        }
    }

  private:
    // A type with the qualifiers before it.
    std::size_t qualifiedLength(std::string_view text, int depth) {
        const std::size_t q = qualifiers(text);
        const std::size_t inner = typeLength(text.substr(q), depth);
        return inner == kMalformed ? kMalformed : q + inner;
    }

    // `{name=fields}` or `(name=fields)`, or the bare `{name}` of a struct whose fields are not given.
    // GNU writes a field's name in quotes before its type.
    std::size_t aggregateLength(std::string_view text, char close, int depth) {
        std::size_t at = 1;
        while (at < text.size() && text[at] != '=' && text[at] != close) {
            ++at;
        }
        if (at >= text.size()) {
            return kMalformed;
        }
        if (text[at] == '=') {
            ++at;
            while (at < text.size() && text[at] != close) {
                if (text[at] == '"') {
                    const std::size_t end = text.find('"', at + 1);
                    if (end == std::string_view::npos) {
                        return kMalformed;
                    }
                    at = end + 1;
                    continue;
                }
                const std::size_t field = qualifiedLength(text.substr(at), depth + 1);
                if (field == kMalformed) {
                    return kMalformed;
                }
                at += field;
            }
            if (at >= text.size()) {
                return kMalformed;
            }
        }
        return at + 1;
    }

    bool tooDeep_ = false;
};

std::string_view namedClass(std::string_view type) {
    if (type.size() < 3 || type[0] != '@' || type[1] != '"') {
        return {};
    }
    return type.substr(2, type.size() - 3);
}

} // namespace

std::optional<std::vector<std::string_view>> splitTypes(std::string_view types, std::string& error) {
    std::vector<std::string_view> all;
    TypeReader reader;
    std::size_t at = 0;
    while (at < types.size()) {
        at += qualifiers(types.substr(at));
        const std::size_t length = reader.typeLength(types.substr(at), 0);
        if (length == kMalformed) {
            error = reader.tooDeep()
                        ? "nests its types deeper than " + std::to_string(kMaxTypeNesting) + " levels"
                        : "is malformed at offset " + std::to_string(at);
            return std::nullopt;
        }
        all.push_back(types.substr(at, length));
        at += length;
        // The frame offset that follows each type.
        if (at < types.size() && (types[at] == '+' || types[at] == '-')) {
            ++at;
        }
        at += digits(types, at);
    }
    return all;
}

std::optional<TypeParts> typeParts(std::string_view type) {
    TypeReader reader;
    if (type.empty() || reader.typeLength(type, 0) != type.size()) {
        return std::nullopt;
    }
    // The whole type is well formed from here on, and each part of it is a whole type.
    const auto unqualified = [](std::string_view text) { return text.substr(qualifiers(text)); };
    TypeParts parts;
    switch (type[0]) {
    case '^':
    case 'j':
        parts.element = unqualified(type.substr(1));
        break;
    case '@':
        if (type.size() > 2 && type[1] == '"') {
            parts.name = type.substr(2, type.size() - 3);
        }
        break;
    case '[': {
        const std::size_t length = digits(type, 1);
        for (const char c : type.substr(1, length)) {
            const auto digit = static_cast<std::size_t>(c - '0');
            parts.count = parts.count > (SIZE_MAX - digit) / 10 ? SIZE_MAX : parts.count * 10 + digit;
        }
        parts.element = unqualified(type.substr(1 + length, type.size() - length - 2));
        break;
    }
    case '{':
    case '(': {
        const std::size_t end = type.find_first_of(type[0] == '{' ? "=}" : "=)");
        parts.name = type.substr(1, end - 1);
        for (std::size_t at = end + 1; at < type.size() - 1;) {
            if (type[at] == '"') {
                at = type.find('"', at + 1) + 1;
                continue;
            }
            at += qualifiers(type.substr(at));
            const std::size_t length = reader.typeLength(type.substr(at), 1);
            parts.members.push_back(type.substr(at, length));
            at += length;
        }
        break;
    }
    default:
        break;
    }
    return parts;
}

std::optional<MethodSignature> MethodSignature::parse(std::string_view types) {
    std::string error;
    const auto split = splitTypes(types, error);
    if (!split) {
        return std::nullopt;
    }
    std::vector<std::string> all(split->begin(), split->end());
    if (all.size() < 3 || !(all[1] == "#" || isObjectType(all[1])) || all[2] != ":") {
        return std::nullopt;
    }
    MethodSignature signature;
    signature.result = std::move(all[0]);
    signature.arguments.assign(std::make_move_iterator(all.begin() + 3), std::make_move_iterator(all.end()));
    return signature;
}

std::optional<MethodSignature> MethodSignature::of(id receiver, SEL sel) {
    if (isNil(receiver) || sel == nullptr) {
        return std::nullopt;
    }
    Method method = class_getInstanceMethod(object_getClass(receiver), sel);
    const char* types = method != nullptr ? method_getTypeEncoding(method) : nullptr;
    if (types == nullptr) {
        return std::nullopt;
    }
    return parse(types);
}

std::string MethodSignature::declaration(SEL sel) const {
    const std::string_view name = sel_getName(sel);
    std::string text = "- (" + typeSpelling(result) + ")";
    std::size_t colons = 0;
    for (char c : name) {
        colons += c == ':' ? 1 : 0;
    }
    if (colons != arguments.size()) {
        // A method whose encoding does not fit its name: the name, then the types it takes.
        text += name;
        for (std::size_t i = 0; i < arguments.size(); ++i) {
            text += (i == 0 ? " (" : ", ") + typeSpelling(arguments[i]);
        }
        return text + (arguments.empty() ? "" : ")");
    }
    std::size_t part = 0;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::size_t colon = name.find(':', part);
        text += (i == 0 ? "" : " ") + std::string(name.substr(part, colon + 1 - part)) + "(" +
                typeSpelling(arguments[i]) + ")";
        part = colon + 1;
    }
    return arguments.empty() ? text + std::string(name) : text;
}

bool isObjectType(std::string_view type) {
    return type == "@" || (type.size() > 1 && type[0] == '@' && type[1] == '"');
}

bool acceptsInstanceOf(std::string_view type, Class cls) {
    if (cls == Nil || !isObjectType(type)) {
        return false;
    }
    if (type == "@") {
        return true;
    }
    // A protocol ("<Name>") promises methods, not a class: nothing says an instance keeps it.
    const std::string name(namedClass(type));
    Class declared = name.starts_with('<') ? Nil : objc_lookUpClass(name.c_str());
    for (Class c = cls; declared != Nil && c != Nil; c = class_getSuperclass(c)) {
        if (c == declared) {
            return true;
        }
    }
    return false;
}

std::string typeSpelling(std::string_view type) {
    if (type.empty()) {
        return "?";
    }
    switch (type[0]) {
    case 'v':
        return "void";
    case 'c':
        return "char";
    case 'C':
        return "unsigned char";
    case 's':
        return "short";
    case 'S':
        return "unsigned short";
    case 'i':
        return "int";
    case 'I':
        return "unsigned int";
    case 'l':
        return "long";
    case 'L':
        return "unsigned long";
    case 'q':
        return "long long";
    case 'Q':
        return "unsigned long long";
    case 'f':
        return "float";
    case 'd':
        return "double";
    case 'D':
        return "long double";
    case 'B':
        return "BOOL";
    case '*':
        return "char *";
    case '#':
        return "Class";
    case ':':
        return "SEL";
    case '@': {
        if (type == "@?") {
            return "void (^)()";
        }
        const std::string_view name = namedClass(type);
        if (name.starts_with('<')) {
            return "id" + std::string(name);
        }
        return name.empty() ? "id" : std::string(name) + " *";
    }
    case '^':
    case 'j':
    case '[':
    case '{':
    case '(': {
        const auto parts = typeParts(type);
        if (!parts) {
            return "?";
        }
        if (type[0] == '^') {
            if (parts->element == "?") {
                return "void (*)()";
            }
            const std::string pointee = typeSpelling(parts->element);
            return pointee + (pointee.ends_with('*') ? "*" : " *");
        }
        if (type[0] == 'j') {
            return "_Complex " + typeSpelling(parts->element);
        }
        if (type[0] == '[') {
            return typeSpelling(parts->element) + "[" + std::string(type.substr(1, digits(type, 1))) + "]";
        }
        return std::string(type[0] == '{' ? "struct" : "union") +
               (parts->name.empty() || parts->name == "?" ? "" : " " + std::string(parts->name));
    }
    case 'b':
        return "bit field";
    default:
        return "?";
    }
}

} // namespace objc
