#include "Foundation/PropertyList.hpp"

#include "Foundation/Text.hpp"

#include "Foundation/AtomicFile.hpp"
#include "Foundation/NSArray.hpp"
#include "Foundation/NSData.hpp"
#include "Foundation/NSDate.hpp"
#include "Foundation/NSDictionary.hpp"
#include "Foundation/NSNumber.hpp"
#include "Foundation/Storage.hpp"

#include <plist/plist.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <unordered_map>
#include <vector>

using NS::detail::appendUtf8;

namespace NS::detail {
namespace {

// Property lists nest only a few levels in practice; the limits keep hostile files from exhausting
// the stack (libplist's parsers and writers recurse), or memory and time (shared objects of a binary
// file expand into copies: a 141-byte file of 21 levels of [x, x] is four million values). A
// preferences file holds tens of values, a large one thousands; the limits stand far above that.
constexpr int depthLimit = 512;
constexpr std::size_t valueLimit = std::size_t{1} << 18;
// The text and data that a property list holds once its shared objects are copied out.
constexpr std::size_t expandedByteLimit = propertyListFileLimit;

constexpr double referenceDateSince1970 = 978307200.0;

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && isSpace(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && isSpace(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

bool isDigits(std::string_view s) {
    if (s.empty()) {
        return false;
    }
    for (char c : s) {
        if (c < '0' || c > '9') {
            return false;
        }
    }
    return true;
}

// Days from 1970-01-01 to the given civil date (proleptic Gregorian).
long long daysFromCivil(long long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

// Date values are kept by libplist as 32-bit seconds from the reference date.
bool fitsDateRange(double secondsSinceReference) {
    return std::isfinite(secondsSinceReference) && secondsSinceReference >= -2147483648.0 &&
           secondsSinceReference < 2147483648.0;
}

// ----- XML

struct Tag {
    std::string_view name;
    bool closing = false;
    bool empty = false;
    bool attributes = false;
};

// What the two XML readers below share: the way through tags, white space, comments and entity
// references, and the texts of numbers and dates.
class XmlScanner {
  protected:
    explicit XmlScanner(std::string_view s) : s_(s) {}

    std::string_view rest() const { return s_.substr(i_); }

    bool skipPast(std::string_view end) {
        std::size_t at = s_.find(end, i_);
        if (at == std::string_view::npos) {
            return false;
        }
        i_ = at + end.size();
        return true;
    }

    // White space, comments, processing instructions and a document type without an internal subset.
    bool skipMisc() {
        for (;;) {
            if (!skipInside()) {
                return false;
            }
            if (rest().starts_with("<?")) {
                if (!skipPast("?>")) {
                    return false;
                }
            } else if (rest().starts_with("<!DOCTYPE")) {
                std::size_t end = s_.find('>', i_);
                std::size_t subset = s_.find('[', i_);
                if (end == std::string_view::npos || subset < end) {
                    return false; // entity declarations are not taken
                }
                i_ = end + 1;
            } else {
                return true;
            }
        }
    }

    // Between the elements of a container: only white space and comments.
    bool skipInside() {
        for (;;) {
            while (i_ < s_.size() && isSpace(s_[i_])) {
                ++i_;
            }
            if (rest().starts_with("<!--")) {
                if (!skipPast("-->")) {
                    return false;
                }
            } else {
                return true;
            }
        }
    }

    static bool isNameChar(char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
               c == ':' || c == '-' || c == '.';
    }

    bool readTag(Tag& tag) {
        tag = Tag{};
        if (i_ >= s_.size() || s_[i_] != '<') {
            return false;
        }
        ++i_;
        if (i_ < s_.size() && s_[i_] == '/') {
            tag.closing = true;
            ++i_;
        }
        std::size_t start = i_;
        while (i_ < s_.size() && isNameChar(s_[i_])) {
            ++i_;
        }
        tag.name = s_.substr(start, i_ - start);
        if (tag.name.empty()) {
            return false;
        }
        for (;;) {
            while (i_ < s_.size() && isSpace(s_[i_])) {
                ++i_;
            }
            if (i_ >= s_.size()) {
                return false;
            }
            if (s_[i_] == '>') {
                ++i_;
                return true;
            }
            if (!tag.closing && rest().starts_with("/>")) {
                i_ += 2;
                tag.empty = true;
                return true;
            }
            if (tag.closing) {
                return false;
            }
            // An attribute: name = "value" or 'value'.
            tag.attributes = true;
            std::size_t nameStart = i_;
            while (i_ < s_.size() && isNameChar(s_[i_])) {
                ++i_;
            }
            if (i_ == nameStart) {
                return false;
            }
            while (i_ < s_.size() && isSpace(s_[i_])) {
                ++i_;
            }
            if (i_ >= s_.size() || s_[i_] != '=') {
                return false;
            }
            ++i_;
            while (i_ < s_.size() && isSpace(s_[i_])) {
                ++i_;
            }
            if (i_ >= s_.size() || (s_[i_] != '"' && s_[i_] != '\'')) {
                return false;
            }
            char quote = s_[i_++];
            std::size_t end = s_.find(quote, i_);
            if (end == std::string_view::npos) {
                return false;
            }
            i_ = end + 1;
        }
    }

    // The entity reference at `i_`, checked and appended to `out` as the character it stands for.
    bool entity(std::string& out) {
        std::size_t end = s_.find(';', i_);
        if (end == std::string_view::npos || end - i_ > 10) {
            return false;
        }
        std::string_view name = s_.substr(i_ + 1, end - i_ - 1);
        if (name == "amp") {
            out += '&';
        } else if (name == "lt") {
            out += '<';
        } else if (name == "gt") {
            out += '>';
        } else if (name == "quot") {
            out += '"';
        } else if (name == "apos") {
            out += '\'';
        } else if (name.size() > 1 && name[0] == '#') {
            std::string_view digits = name.substr(1);
            int base = 10;
            if (digits[0] == 'x' || digits[0] == 'X') {
                digits.remove_prefix(1);
                base = 16;
            }
            std::uint32_t cp = 0;
            auto r = std::from_chars(digits.data(), digits.data() + digits.size(), cp, base);
            if (digits.empty() || r.ec != std::errc() || r.ptr != digits.data() + digits.size() || cp == 0 ||
                cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000)) {
                return false;
            }
            appendUtf8(out, cp);
        } else {
            return false;
        }
        i_ = end + 1;
        return true;
    }

    // The texts of integers, reals and dates, as libplist reads them, within the range of the types
    // they are read into.
    static bool integerValue(std::string_view t, long long& value) {
        t = trimmed(t);
        if (t.empty()) {
            return false;
        }
        std::string_view digits = (t[0] == '+') ? t.substr(1) : t;
        if (!isDigits(digits[0] == '-' ? digits.substr(1) : digits)) {
            return false;
        }
        auto r = std::from_chars(digits.data(), digits.data() + digits.size(), value);
        return r.ec == std::errc() && r.ptr == digits.data() + digits.size();
    }

    static bool realValue(std::string_view t, double& value) {
        t = trimmed(t);
        if (!t.empty() && t[0] == '+') {
            t.remove_prefix(1);
        }
        if (t.empty()) {
            return false;
        }
        auto r = std::from_chars(t.data(), t.data() + t.size(), value);
        return r.ec == std::errc() && r.ptr == t.data() + t.size();
    }

    // "2001-01-01T00:00:00Z", as seconds from the reference date.
    static bool dateValue(std::string_view t, double& seconds) {
        t = trimmed(t);
        if (t.size() != 20 || t[4] != '-' || t[7] != '-' || t[10] != 'T' || t[13] != ':' || t[16] != ':' ||
            t[19] != 'Z') {
            return false;
        }
        auto number = [&](std::size_t at, std::size_t len, int& out) {
            std::string_view part = t.substr(at, len);
            return isDigits(part) && std::from_chars(part.data(), part.data() + len, out).ec == std::errc();
        };
        int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
        if (!number(0, 4, y) || !number(5, 2, mo) || !number(8, 2, d) || !number(11, 2, h) ||
            !number(14, 2, mi) || !number(17, 2, s)) {
            return false;
        }
        if (mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 60) {
            return false;
        }
        seconds = static_cast<double>(daysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d))) *
                      86400.0 +
                  h * 3600.0 + mi * 60.0 + s - referenceDateSince1970;
        return fitsDateRange(seconds);
    }

    std::string_view s_;
    std::size_t i_ = 0;
    std::size_t values_ = 0;
};

// A structural check before libplist parses, so that what libplist would read only in part (a key
// without a value, text after the end, an unknown element) is refused as a whole.
class XmlChecker : XmlScanner {
  public:
    explicit XmlChecker(std::string_view s) : XmlScanner(s) {}

    bool check(std::size_t& values) {
        // XML has no NUL character, and libplist cannot hold one in a string: it stops the program.
        if (s_.find('\0') != std::string_view::npos) {
            return false;
        }
        Tag tag;
        if (!skipMisc() || !readTag(tag) || tag.closing || tag.empty || tag.name != "plist") {
            return false;
        }
        std::size_t kept = 0;
        if (!skipInside() || !value(1, kept) || !skipInside() || !readTag(tag) || !tag.closing ||
            tag.name != "plist") {
            return false;
        }
        if (!skipMisc() || i_ != s_.size()) {
            return false;
        }
        values = kept;
        return true;
    }

  private:
    // Character data up to the closing tag `</name>`, with comments and CDATA sections; entity
    // references are checked, and the text is returned with the predefined ones replaced.
    bool text(std::string_view name, std::string& out) {
        out.clear();
        for (;;) {
            if (i_ >= s_.size()) {
                return false;
            }
            char c = s_[i_];
            if (c == '<') {
                if (rest().starts_with("<!--")) {
                    if (!skipPast("-->")) {
                        return false;
                    }
                    continue;
                }
                if (rest().starts_with("<![CDATA[")) {
                    std::size_t start = i_ + 9;
                    if (!skipPast("]]>")) {
                        return false;
                    }
                    out.append(s_.substr(start, i_ - 3 - start));
                    continue;
                }
                Tag tag;
                return readTag(tag) && tag.closing && tag.name == name;
            }
            if (c == '&') {
                if (!entity(out)) {
                    return false;
                }
                continue;
            }
            out += c;
            ++i_;
        }
    }

    static bool validBase64(std::string_view t) {
        for (char c : t) {
            bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                      c == '+' || c == '/' || c == '=' || isSpace(c);
            if (!ok) {
                return false;
            }
        }
        return true;
    }

    // One value; `kept` is how many values of it libplist keeps: itself and what it holds, where a
    // key that comes again in a dictionary replaces the earlier entry.
    bool value(int depth, std::size_t& kept) {
        kept = 1;
        if (depth > depthLimit || ++values_ > valueLimit) {
            return false;
        }
        Tag tag;
        if (!readTag(tag) || tag.closing) {
            return false;
        }
        const std::string_view name = tag.name;
        std::string content;
        if (name == "true" || name == "false") {
            if (tag.empty) {
                return true;
            }
            Tag end;
            return skipInside() && readTag(end) && end.closing && end.name == name;
        }
        if (name == "string") {
            return tag.empty || text(name, content);
        }
        if (name == "integer" || name == "real" || name == "date" || name == "data") {
            if (tag.empty) {
                return name == "data";
            }
            if (!text(name, content)) {
                return false;
            }
            long long integer = 0;
            double real = 0;
            if (name == "integer") {
                return integerValue(content, integer);
            }
            if (name == "real") {
                return realValue(content, real);
            }
            if (name == "date") {
                return dateValue(content, real);
            }
            return validBase64(content);
        }
        if (name == "array") {
            if (tag.empty) {
                return true;
            }
            for (;;) {
                if (!skipInside()) {
                    return false;
                }
                if (rest().starts_with("</")) {
                    Tag end;
                    return readTag(end) && end.name == "array";
                }
                std::size_t child = 0;
                if (!value(depth + 1, child)) {
                    return false;
                }
                kept += child;
            }
        }
        if (name == "dict") {
            if (tag.empty) {
                return true;
            }
            // A dictionary may hold many thousands of keys: hashed, and counted as they come.
            std::unordered_map<std::string, std::size_t> entries;
            for (;;) {
                if (!skipInside()) {
                    return false;
                }
                if (rest().starts_with("</")) {
                    Tag end;
                    return readTag(end) && end.name == "dict";
                }
                Tag key;
                content.clear();
                if (!readTag(key) || key.closing || key.name != "key" ||
                    (!key.empty && !text("key", content))) {
                    return false;
                }
                std::size_t child = 0;
                if (!skipInside() || rest().starts_with("</") || !value(depth + 1, child)) {
                    return false;
                }
                auto [entry, added] = entries.try_emplace(std::move(content), child);
                if (!added) {
                    kept -= entry->second;
                    entry->second = child;
                }
                kept += child;
            }
        }
        return false;
    }
};

// ----- Binary: the object table is walked before libplist sees it: every offset, length and
// reference within the file, no cycles, a bounded depth, and a bounded number of values and bytes
// once shared objects are counted as the copies that parsing makes of them.

class BinaryChecker {
  public:
    explicit BinaryChecker(std::string_view s) : s_(s) {}

    bool check(std::size_t& values) {
        if (s_.size() < 8 + 32 || !s_.starts_with("bplist00")) {
            return false;
        }
        const std::size_t trailer = s_.size() - 32;
        offsetSize_ = byte(trailer + 6);
        refSize_ = byte(trailer + 7);
        std::uint64_t count = be(trailer + 8, 8);
        std::uint64_t top = be(trailer + 16, 8);
        tableStart_ = be(trailer + 24, 8);
        // Every value but the root may come with a key.
        if (offsetSize_ < 1 || offsetSize_ > 8 || refSize_ < 1 || refSize_ > 8 || count == 0 ||
            count > 2 * valueLimit + 1 || top >= count || tableStart_ < 8 || tableStart_ > trailer ||
            (trailer - tableStart_) / offsetSize_ < count) {
            return false;
        }
        objects_ = static_cast<std::size_t>(count);
        state_.assign(objects_, 0);
        expanded_.assign(objects_, Size{});
        if (!walk(static_cast<std::size_t>(top))) {
            return false;
        }
        values = expanded_[static_cast<std::size_t>(top)].values;
        return true;
    }

  private:
    struct Object {
        unsigned type = 0;
        std::size_t count = 0;  // elements of a container
        std::size_t refsAt = 0; // where its references start
        std::size_t bytes = 0;  // its text or data, as libplist holds it
        bool isString = false;
    };

    // What an object comes to once its shared objects are copied out.
    struct Size {
        std::size_t values = 0;
        std::size_t bytes = 0;

        // False once past the limits; adding then stops there.
        bool add(const Size& more) {
            values += more.values;
            bytes += more.bytes;
            return values <= valueLimit && bytes <= expandedByteLimit;
        }
    };

    unsigned byte(std::size_t at) const { return static_cast<unsigned char>(s_[at]); }
    std::uint64_t be(std::size_t at, std::size_t n) const {
        std::uint64_t v = 0;
        for (std::size_t k = 0; k < n; ++k) {
            v = (v << 8) | byte(at + k);
        }
        return v;
    }

    // [at, at + n) lies within the object area.
    bool fits(std::uint64_t at, std::uint64_t n) const { return at <= tableStart_ && n <= tableStart_ - at; }

    // Whether one of the `count` units of `width` bytes at `at` is zero.
    bool holdsNul(std::uint64_t at, std::uint64_t count, std::size_t width) const {
        for (std::uint64_t k = 0; k < count; ++k) {
            if (be(static_cast<std::size_t>(at + k * width), width) == 0) {
                return true;
            }
        }
        return false;
    }

    bool offsetOf(std::size_t index, std::uint64_t& at) const {
        at = be(tableStart_ + index * offsetSize_, offsetSize_);
        return at >= 8 && at < tableStart_;
    }

    bool parse(std::size_t index, Object& o) const {
        std::uint64_t at = 0;
        if (!offsetOf(index, at)) {
            return false;
        }
        unsigned marker = byte(at);
        o.type = marker >> 4;
        unsigned info = marker & 0xF;
        std::uint64_t pos = at + 1;
        std::uint64_t length = info;
        auto extendedLength = [&]() {
            if (info != 0xF) {
                return true;
            }
            if (!fits(pos, 1) || (byte(pos) >> 4) != 0x1 || (byte(pos) & 0xF) > 3) {
                return false;
            }
            std::uint64_t n = std::uint64_t{1} << (byte(pos) & 0xF);
            if (!fits(pos + 1, n)) {
                return false;
            }
            length = be(pos + 1, n);
            pos += 1 + n;
            return true;
        };
        switch (o.type) {
        case 0x0:
            return marker == 0x08 || marker == 0x09; // booleans; null and fill have no Foundation form
        case 0x1:
            return info <= 3 && fits(pos, std::uint64_t{1} << info);
        case 0x2:
            return (info == 2 || info == 3) && fits(pos, std::uint64_t{1} << info);
        case 0x3: {
            if (marker != 0x33 || !fits(pos, 8)) {
                return false;
            }
            std::uint64_t bits = be(pos, 8);
            double seconds = 0;
            std::memcpy(&seconds, &bits, sizeof seconds);
            return fitsDateRange(seconds);
        }
        // Strings holding NUL are refused: libplist cuts an ASCII one short there and stops the
        // program on a UTF-16 one.
        case 0x4:
            if (!extendedLength() || !fits(pos, length)) {
                return false;
            }
            o.bytes = static_cast<std::size_t>(length);
            return true;
        case 0x5:
            o.isString = true;
            if (!extendedLength() || !fits(pos, length) || holdsNul(pos, length, 1)) {
                return false;
            }
            o.bytes = static_cast<std::size_t>(length);
            return true;
        case 0x6:
            o.isString = true;
            if (!extendedLength() || length > tableStart_ / 2 || !fits(pos, length * 2) ||
                holdsNul(pos, length, 2)) {
                return false;
            }
            o.bytes = static_cast<std::size_t>(length) * 3; // a UTF-16 unit is up to three bytes of UTF-8
            return true;
        case 0xA:
        case 0xD: {
            if (!extendedLength() || length > valueLimit) {
                return false;
            }
            std::uint64_t refs = length * (o.type == 0xD ? 2 : 1);
            if (!fits(pos, refs * refSize_)) {
                return false;
            }
            o.count = static_cast<std::size_t>(length);
            o.refsAt = static_cast<std::size_t>(pos);
            return true;
        }
        default:
            return false; // UIDs, sets and unknown markers
        }
    }

    bool reference(const Object& o, std::size_t k, std::size_t& index) const {
        std::uint64_t r = be(o.refsAt + k * refSize_, refSize_);
        index = static_cast<std::size_t>(r);
        return r < objects_;
    }

    // Depth-first over references with an explicit stack: 1 marks an object on the current path (seen
    // again, it is a cycle), 2 one already counted, whose size is then added again for each copy.
    bool walk(std::size_t root) {
        struct Frame {
            std::size_t index;
            Object object;
            std::size_t next = 0;
            Size total;
        };
        std::vector<Frame> stack;
        auto enter = [&](std::size_t index) {
            Object o;
            if (!parse(index, o)) {
                return false;
            }
            state_[index] = 1;
            stack.push_back(Frame{index, o, 0, Size{1, o.bytes}});
            return static_cast<int>(stack.size()) <= depthLimit;
        };
        if (!enter(root)) {
            return false;
        }
        while (!stack.empty()) {
            Frame& f = stack.back();
            const bool isDict = f.object.type == 0xD;
            if (f.next < f.object.count) {
                std::size_t k = f.next++;
                if (isDict) {
                    std::size_t key = 0;
                    Object keyObject;
                    if (!reference(f.object, k, key) || !parse(key, keyObject) || !keyObject.isString ||
                        !f.total.add(Size{0, keyObject.bytes})) {
                        return false;
                    }
                }
                std::size_t child = 0;
                if (!reference(f.object, isDict ? f.object.count + k : k, child)) {
                    return false;
                }
                if (state_[child] == 1) {
                    return false;
                }
                if (state_[child] == 2) {
                    if (!f.total.add(expanded_[child])) {
                        return false;
                    }
                    continue;
                }
                if (!enter(child)) {
                    return false;
                }
                continue;
            }
            std::size_t done = f.index;
            Size total = f.total;
            state_[done] = 2;
            expanded_[done] = total;
            stack.pop_back();
            if (!stack.empty() && !stack.back().total.add(total)) {
                return false;
            }
        }
        return true;
    }

    std::string_view s_;
    unsigned offsetSize_ = 0;
    unsigned refSize_ = 0;
    std::uint64_t tableStart_ = 0;
    std::size_t objects_ = 0;
    std::vector<unsigned char> state_;
    std::vector<Size> expanded_;
};

// ----- libplist nodes to objects

using Owned = objc::Ref<Object>;

// The objects of `owned`, as an array of the kind Foundation's initialisers take.
std::vector<Object*> objectsOf(const std::vector<Owned>& owned) {
    std::vector<Object*> objects;
    objects.reserve(owned.size());
    for (const Owned& object : owned) {
        objects.push_back(object.get());
    }
    return objects;
}

// Nil when the node or anything in it has no Foundation form.
Owned objectFromNode(plist_t node, int depth, std::size_t& made) {
    if (node == nullptr || depth > depthLimit) {
        return nullptr;
    }
    ++made;
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
        uint8_t v = 0;
        plist_get_bool_val(node, &v);
        return objc::adopt(Number::alloc()->initWithBool(v != 0));
    }
    case PLIST_UINT: {
        uint64_t v = 0;
        plist_get_uint_val(node, &v);
        return objc::adopt(Number::alloc()->initWithLongLong(static_cast<long long>(v)));
    }
    case PLIST_REAL: {
        double v = 0;
        plist_get_real_val(node, &v);
        return objc::adopt(Number::alloc()->initWithDouble(v));
    }
    case PLIST_STRING: {
        char* v = nullptr;
        plist_get_string_val(node, &v);
        if (v == nullptr) {
            return nullptr;
        }
        auto s = objc::adopt(String::alloc()->initWithBytes(static_cast<const void*>(v),
                                                            static_cast<unsigned long>(std::strlen(v))));
        std::free(v);
        return s;
    }
    case PLIST_DATE: {
        int32_t sec = 0;
        int32_t usec = 0;
        plist_get_date_val(node, &sec, &usec);
        return objc::adopt(Date::alloc()->initWithTimeIntervalSinceReferenceDate(
            static_cast<double>(sec) + static_cast<double>(usec) / 1e6));
    }
    case PLIST_DATA: {
        char* v = nullptr;
        uint64_t length = 0;
        plist_get_data_val(node, &v, &length);
        auto d = objc::adopt(
            Data::alloc()->initWithBytes(static_cast<const void*>(v), static_cast<unsigned long>(length)));
        std::free(v);
        return d;
    }
    case PLIST_ARRAY: {
        std::vector<Owned> items;
        uint32_t n = plist_array_get_size(node);
        items.reserve(n);
        for (uint32_t k = 0; k < n; ++k) {
            Owned item = objectFromNode(plist_array_get_item(node, k), depth + 1, made);
            if (item == nullptr) {
                return nullptr;
            }
            items.push_back(std::move(item));
        }
        const std::vector<Object*> objects = objectsOf(items);
        return objc::adopt(Array::alloc()->initWithObjects(objects.data(), static_cast<unsigned long>(n)));
    }
    case PLIST_DICT: {
        std::vector<Owned> keys;
        std::vector<Owned> values;
        plist_dict_iter it = nullptr;
        plist_dict_new_iter(node, &it);
        bool ok = it != nullptr;
        while (ok) {
            char* key = nullptr;
            plist_t value = nullptr;
            plist_dict_next_item(node, it, &key, &value);
            if (value == nullptr) {
                std::free(key);
                break;
            }
            Owned k = key == nullptr
                          ? nullptr
                          : objc::adopt(String::alloc()->initWithBytes(
                                static_cast<const void*>(key), static_cast<unsigned long>(std::strlen(key))));
            std::free(key);
            Owned v = k == nullptr ? nullptr : objectFromNode(value, depth + 1, made);
            if (k == nullptr || v == nullptr) {
                ok = false;
                break;
            }
            keys.push_back(std::move(k));
            values.push_back(std::move(v));
        }
        std::free(it);
        if (!ok) {
            return nullptr;
        }
        const std::vector<Object*> keyObjects = objectsOf(keys);
        const std::vector<Object*> valueObjects = objectsOf(values);
        return objc::adopt(Dictionary::alloc()->initWithObjects(
            valueObjects.data(), keyObjects.data(), static_cast<unsigned long>(keyObjects.size())));
    }
    default:
        return nullptr;
    }
}

// ----- Plain XML to objects

// The objects of a container being read, owned until it is made of them; a few are kept in place.
class Elements {
  public:
    Elements() = default;
    Elements(const Elements&) = delete;
    Elements& operator=(const Elements&) = delete;
    ~Elements() {
        for (std::size_t k = 0; k < count_; ++k) {
            data()[k]->release();
        }
    }

    // Takes `object` over; false for nil.
    bool add(Owned object) {
        if (object == nullptr) {
            return false;
        }
        if (count_ < std::size(inPlace_)) {
            inPlace_[count_] = object.leak();
        } else {
            if (more_.empty()) {
                more_.assign(std::begin(inPlace_), std::end(inPlace_));
            }
            more_.push_back(object.leak());
        }
        ++count_;
        return true;
    }
    Object* const* data() const { return more_.empty() ? inPlace_ : more_.data(); }
    std::size_t size() const { return count_; }

  private:
    Object* inPlace_[8] = {};
    std::vector<Object*> more_;
    std::size_t count_ = 0;
};

// XML as our own writer writes it and most editors leave it: an XML declaration and a document type,
// elements with nothing between them but white space, entity references only in strings and keys,
// data in whole groups of base64, and no comment, CDATA section or attribute but the root's. Such a
// file is read in one pass into the objects it holds, with the values libplist gives them (the
// property-list fuzz target holds the two readers to the same values). Anything else, well-formed or
// not, is left to the check and libplist.
class PlainXmlReader : XmlScanner {
  public:
    explicit PlainXmlReader(std::string_view s) : XmlScanner(s) {}

    // What the file holds, or nil when it is not plain. A root of the kind of `into` (an allocated
    // dictionary or array, not yet initialised) is read into it, once the whole file has been read.
    Owned read(Object* into) {
        constexpr auto npos = std::string_view::npos;
        if (s_.find('\0') != npos || s_.find("<!--") != npos || s_.find("<![CDATA[") != npos || !prolog()) {
            return nullptr;
        }
        // The root's attributes may not hide a '>' in their quotes.
        const std::size_t start = i_;
        Tag tag;
        if (!readTag(tag) || tag.closing || tag.empty || tag.name != "plist" ||
            s_.find('>', start) + 1 != i_) {
            return nullptr;
        }
        skipSpace();
        const std::size_t rootAt = i_;
        Tag root;
        if (!readTag(root) || root.closing) {
            return nullptr;
        }
        const bool container = (root.name == "dict" || root.name == "array") && !root.attributes;
        Elements keys;
        Elements values;
        Owned object;
        if (container) {
            ++values_; // the root counts among the values, as value() counts it
            if (!(root.name == "dict" ? entries(root, 1, keys, values) : items(root, 1, values))) {
                return nullptr;
            }
        } else {
            i_ = rootAt;
            if ((object = value(1)) == nullptr) {
                return nullptr;
            }
        }
        skipSpace();
        if (!readTag(tag) || !tag.closing || tag.name != "plist") {
            return nullptr;
        }
        skipSpace();
        if (i_ != s_.size()) {
            return nullptr;
        }
        if (!container) {
            return object;
        }
        if (root.name == "dict") {
            objc::Ptr<Dictionary> target = cast<Dictionary>(into);
            return objc::adopt((target != nullptr ? target : Dictionary::alloc())
                                   ->initWithObjects(values.data(), keys.data(), keys.size()));
        }
        objc::Ptr<Array> target = cast<Array>(into);
        return objc::adopt(
            (target != nullptr ? target : Array::alloc())->initWithObjects(values.data(), values.size()));
    }

  private:
    void skipSpace() {
        while (i_ < s_.size() && isSpace(s_[i_])) {
            ++i_;
        }
    }

    // An XML declaration, then a document type without an internal subset, each with white space
    // around it and either left out.
    bool prolog() {
        skipSpace();
        if (rest().starts_with("<?xml") && !skipDeclaration("?>")) {
            return false;
        }
        skipSpace();
        if (rest().starts_with("<!DOCTYPE") && !skipDeclaration(">")) {
            return false;
        }
        skipSpace();
        return true;
    }

    // Past the `end` of the declaration at `i_`, with no '<' or '[' on the way and none of '<', '>' and
    // '[' in its quotes, which libplist reads with care.
    bool skipDeclaration(std::string_view end) {
        for (std::size_t at = i_ + 2; at < s_.size(); ++at) {
            const char c = s_[at];
            if (c == '"' || c == '\'') {
                const std::size_t close = s_.find(c, at + 1);
                if (close == std::string_view::npos ||
                    s_.substr(at + 1, close - at - 1).find_first_of("<>[") != std::string_view::npos) {
                    return false;
                }
                at = close;
            } else if (c == '<' || c == '[') {
                return false;
            } else if (s_.substr(at).starts_with(end)) {
                i_ = at + end.size();
                return true;
            }
        }
        return false;
    }

    // The character data up to the closing tag `</name>`; its entity references are replaced where
    // `references` allows them, and refused elsewhere. Valid until the next call.
    bool text(std::string_view name, bool references, std::string_view& out) {
        const std::size_t end = s_.find('<', i_);
        if (end == std::string_view::npos) {
            return false;
        }
        out = s_.substr(i_, end - i_);
        if (out.find('&') != std::string_view::npos) {
            if (!references) {
                return false;
            }
            decoded_.clear();
            while (i_ < end) {
                if (s_[i_] != '&') {
                    decoded_ += s_[i_++];
                } else if (!entity(decoded_) || i_ > end) {
                    return false;
                }
            }
            out = decoded_;
        }
        i_ = end;
        Tag tag;
        return readTag(tag) && tag.closing && tag.name == name;
    }

    static int sextet(char c) {
        if (c >= 'A' && c <= 'Z') {
            return c - 'A';
        }
        if (c >= 'a' && c <= 'z') {
            return c - 'a' + 26;
        }
        if (c >= '0' && c <= '9') {
            return c - '0' + 52;
        }
        return c == '+' ? 62 : c == '/' ? 63 : -1;
    }

    // Base64 in whole groups of four characters, padded at the end alone, with white space anywhere.
    static bool base64Value(std::string_view t, std::string& out) {
        out.clear();
        std::uint32_t group = 0;
        int count = 0;
        int padding = 0;
        for (char c : t) {
            if (isSpace(c)) {
                continue;
            }
            const int v = c == '=' ? 0 : sextet(c);
            // Padding fills the end of the last group: "xx==" or "xxx=".
            if (v < 0 || (padding > 0 && c != '=') || (c == '=' && count < 2) ||
                (padding > 0 && count == 0)) {
                return false;
            }
            padding += c == '=' ? 1 : 0;
            group = (group << 6) | static_cast<std::uint32_t>(v);
            if (++count == 4) {
                const char bytes[] = {static_cast<char>(group >> 16), static_cast<char>(group >> 8),
                                      static_cast<char>(group)};
                out.append(bytes, static_cast<std::size_t>(3 - padding));
                group = 0;
                count = 0;
            }
        }
        return count == 0;
    }

    // One value, or nil when it is not plain.
    Owned value(int depth) {
        Tag tag;
        if (depth > depthLimit || ++values_ > valueLimit || !readTag(tag) || tag.closing || tag.attributes) {
            return nullptr;
        }
        const std::string_view name = tag.name;
        std::string_view content;
        if (name == "true" || name == "false") {
            Tag end;
            if (!tag.empty && (skipSpace(), !readTag(end) || !end.closing || end.name != name)) {
                return nullptr;
            }
            return objc::adopt(Number::alloc()->initWithBool(name == "true"));
        }
        if (name == "string") {
            if (!tag.empty && !text(name, true, content)) {
                return nullptr;
            }
            return objc::adopt(String::alloc()->initWithBytes(content.data(), content.size()));
        }
        if (name == "data") {
            std::string bytes;
            if (!tag.empty && (!text(name, false, content) || !base64Value(content, bytes))) {
                return nullptr;
            }
            return objc::adopt(Data::alloc()->initWithBytes(bytes.data(), bytes.size()));
        }
        if (name == "integer" || name == "real" || name == "date") {
            if (tag.empty || !text(name, false, content)) {
                return nullptr;
            }
            long long integer = 0;
            double real = 0;
            if (name == "integer") {
                return integerValue(content, integer)
                           ? objc::adopt(Number::alloc()->initWithLongLong(integer))
                           : nullptr;
            }
            if (name == "date") {
                return dateValue(content, real)
                           ? objc::adopt(Date::alloc()->initWithTimeIntervalSinceReferenceDate(real))
                           : nullptr;
            }
            // Infinities and NaNs are left to libplist, whose reading of them is its own.
            if (content.find_first_not_of("0123456789+-.eE \t\r\n") != std::string_view::npos ||
                !realValue(content, real)) {
                return nullptr;
            }
            return objc::adopt(Number::alloc()->initWithDouble(real));
        }
        if (name == "array") {
            Elements elements;
            if (!items(tag, depth, elements)) {
                return nullptr;
            }
            return objc::adopt(Array::alloc()->initWithObjects(elements.data(), elements.size()));
        }
        if (name == "dict") {
            Elements keys;
            Elements values;
            if (!entries(tag, depth, keys, values)) {
                return nullptr;
            }
            // A key that comes again replaces the earlier entry's value in its place, as in libplist.
            return objc::adopt(Dictionary::alloc()->initWithObjects(values.data(), keys.data(), keys.size()));
        }
        return nullptr;
    }

    // The elements of the array that `tag` opens, at `depth`.
    bool items(const Tag& tag, int depth, Elements& elements) {
        for (Tag end; !tag.empty;) {
            skipSpace();
            if (rest().starts_with("</")) {
                return readTag(end) && end.name == "array";
            }
            if (!elements.add(value(depth + 1))) {
                return false;
            }
        }
        return true;
    }

    // The keys and values of the dictionary that `tag` opens, at `depth`.
    bool entries(const Tag& tag, int depth, Elements& keys, Elements& values) {
        for (Tag end; !tag.empty;) {
            skipSpace();
            if (rest().starts_with("</")) {
                return readTag(end) && end.name == "dict";
            }
            // libplist reads no key from <key/>.
            Tag key;
            std::string_view content;
            if (!readTag(key) || key.closing || key.empty || key.attributes || key.name != "key" ||
                !text("key", true, content) ||
                !keys.add(objc::adopt(String::alloc()->initWithBytes(content.data(), content.size())))) {
                return false;
            }
            skipSpace();
            if (rest().starts_with("</") || !values.add(value(depth + 1))) {
                return false;
            }
        }
        return true;
    }

    std::string decoded_;
};

// ----- objects to libplist nodes

// The UTF-8 bytes of a string, or false when they hold a NUL that a property-list string cannot.
bool plainText(objc::Ptr<String> string, std::string& out) {
    const char* utf8 = string->utf8String();
    unsigned long size = string->byteLength();
    if (utf8 == nullptr || std::strlen(utf8) != size) {
        return false;
    }
    out.assign(utf8, size);
    return true;
}

// A new node owned by the caller, or nullptr.
plist_t nodeFromObject(objc::Ptr<Object> object, int depth) {
    if (object == nullptr || depth > depthLimit) {
        return nullptr;
    }
    if (auto string = cast<String>(object)) {
        std::string text;
        return plainText(string, text) ? plist_new_string(text.c_str()) : nullptr;
    }
    if (auto number = cast<Number>(object)) {
        if (number->isBoolean()) {
            return plist_new_bool(number->boolValue() ? 1 : 0);
        }
        if (number->isReal()) {
            return plist_new_real(number->doubleValue());
        }
        const char* type = number->objCType();
        if (type[0] == 'Q') {
            return nullptr; // past the signed range, which is all that libplist writes correctly
        }
        return plist_new_uint(static_cast<uint64_t>(number->longLongValue()));
    }
    if (auto date = cast<Date>(object)) {
        // XML dates carry whole seconds.
        double seconds = std::floor(date->timeIntervalSinceReferenceDate());
        return fitsDateRange(seconds) ? plist_new_date(static_cast<int32_t>(seconds), 0) : nullptr;
    }
    if (auto data = cast<Data>(object)) {
        return plist_new_data(static_cast<const char*>(data->bytes()), data->length());
    }
    if (auto array = cast<Array>(object)) {
        plist_t node = plist_new_array();
        for (Object* element : array) {
            plist_t item = nodeFromObject(element, depth + 1);
            if (item == nullptr) {
                plist_free(node);
                return nullptr;
            }
            plist_array_append_item(node, item);
        }
        return node;
    }
    if (auto dictionary = cast<Dictionary>(object)) {
        plist_t node = plist_new_dict();
        for (const auto& [key, member] : entriesOf(dictionary)) {
            std::string name;
            if (!plainText(cast<String>(key), name)) {
                plist_free(node);
                return nullptr;
            }
            plist_t value = nodeFromObject(member, depth + 1);
            if (value == nullptr) {
                plist_free(node);
                return nullptr;
            }
            plist_dict_set_item(node, name.c_str(), value);
        }
        return node;
    }
    return nullptr;
}

// ----- descriptions

bool needsQuotes(std::string_view s) {
    if (s.empty()) {
        return true;
    }
    for (char c : s) {
        bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
                     c == '.' || c == '/' || c == '$' || c == ':' || c == '-' ||
                     static_cast<unsigned char>(c) >= 0x80;
        if (!plain) {
            return true;
        }
    }
    return false;
}

std::string quoted(std::string_view s) {
    if (!needsQuotes(s)) {
        return std::string(s);
    }
    std::string out = "\"";
    for (char c : s) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            out += c;
        }
    }
    return out + "\"";
}

std::string utf8Of(objc::Ptr<String> string) {
    const char* utf8 = string->utf8String();
    return utf8 == nullptr ? std::string() : std::string(utf8);
}

} // namespace

namespace {

// Editors may begin UTF-8 text with a byte-order mark, which libplist does not take; text in UTF-16
// is not read at all.
std::string_view withoutByteOrderMark(std::string_view bytes) {
    if (bytes.starts_with("\xEF\xBB\xBF")) {
        bytes.remove_prefix(3);
    }
    return bytes;
}

id throughLibplist(std::string_view bytes) {
    std::size_t expected = 0;
    const bool checked = bytes.starts_with("bplist") ? BinaryChecker(bytes).check(expected)
                                                     : XmlChecker(bytes).check(expected);
    if (!checked || bytes.size() > propertyListFileLimit) {
        return nil;
    }
    plist_t root = nullptr;
    plist_from_memory(bytes.data(), static_cast<uint32_t>(bytes.size()), &root);
    if (root == nullptr) {
        return nil;
    }
    std::size_t made = 0;
    Owned object = objectFromNode(root, 1, made);
    plist_free(root);
    // libplist read less (or more) than the file holds: take none of it.
    if (made != expected) {
        return nil;
    }
    return objc::toId(object.leak());
}

// As propertyListFromBytes, with a root of the kind of `into` read into it when it can be.
id readBytes(std::string_view bytes, Object* into) {
    bytes = withoutByteOrderMark(bytes);
    if (bytes.size() <= propertyListFileLimit && !bytes.starts_with("bplist")) {
        if (Owned plain = PlainXmlReader(bytes).read(into)) {
            return objc::toId(plain.leak());
        }
    }
    return throughLibplist(bytes);
}

} // namespace

id propertyListFromBytes(std::string_view bytes) { return readBytes(bytes, nullptr); }

id propertyListThroughLibplist(std::string_view bytes) {
    return throughLibplist(withoutByteOrderMark(bytes));
}

id readPropertyList(const char* path, Object* into) {
    std::optional<std::string> bytes = readFile(path, propertyListFileLimit);
    if (bytes && (bytes->starts_with("\xFF\xFE") || bytes->starts_with("\xFE\xFF"))) {
        std::fprintf(stderr,
                     "Foundation: not reading %s: it is UTF-16 text; property lists are read as UTF-8\n",
                     path);
        return nil;
    }
    return bytes ? readBytes(*bytes, into) : nil;
}

bool propertyListXml(id object, std::string& xml) {
    plist_t root = nodeFromObject(reinterpret_cast<Object*>(object), 1);
    if (root == nullptr) {
        return false;
    }
    char* text = nullptr;
    uint32_t length = 0;
    plist_to_xml(root, &text, &length);
    plist_free(root);
    if (text == nullptr) {
        return false;
    }
    xml.assign(text, length);
    plist_to_xml_free(text);
    return true;
}

bool writePropertyList(id object, const char* path, bool atomically) {
    std::string xml;
    if (!propertyListXml(object, xml)) {
        std::fprintf(stderr,
                     "Foundation: not writing %s: the object holds something that has no "
                     "property-list form\n",
                     path != nullptr ? path : "(no path)");
        return false;
    }
    // Shared objects of a binary file that was read may come to more than a file that is read back.
    if (xml.size() > propertyListFileLimit) {
        std::fprintf(stderr,
                     "Foundation: not writing %s: as XML it would come to %zu bytes, more than is read\n",
                     path != nullptr ? path : "(no path)", xml.size());
        return false;
    }
    return writeFile(path, xml, atomically);
}

std::string describe(id anything, int indent) {
    objc::Ptr<Object> object = reinterpret_cast<Object*>(anything);
    if (object == nullptr) {
        return "(null)";
    }
    if (indent > depthLimit) {
        return "..."; // a container that holds itself
    }
    const std::string pad(static_cast<std::size_t>(indent) * 4, ' ');
    const std::string inner(static_cast<std::size_t>(indent + 1) * 4, ' ');
    if (auto string = cast<String>(object)) {
        return quoted(utf8Of(string));
    }
    if (auto array = cast<Array>(object)) {
        const unsigned long n = array->count();
        std::string out = "(\n";
        for (unsigned long k = 0; k < n; ++k) {
            out += inner + describe(array->objectAtIndex(k)->self(), indent + 1);
            out += k + 1 < n ? ",\n" : "\n";
        }
        return out + pad + ")";
    }
    if (auto dictionary = cast<Dictionary>(object)) {
        std::string out = "{\n";
        for (Object* key : dictionary->allKeys()) {
            out += inner + describe(key->self(), indent + 1) + " = " +
                   describe(dictionary->objectForKey(key)->self(), indent + 1) + ";\n";
        }
        return out + pad + "}";
    }
    return utf8Of(object->description());
}

} // namespace NS::detail
