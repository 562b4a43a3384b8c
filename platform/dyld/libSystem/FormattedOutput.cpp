#include "dyld/libSystem/FormattedOutput.hpp"

#include "dyld/Bindings.hpp"
#include "dyld/Darwin.hpp"

#include <array>
#include <bit>
#include <climits>
#include <cstdio>
#include <cstring>
#include <type_traits>
#include <utility>

namespace dyld {

namespace {

// Far beyond any text the project formats, and small enough that no conversion needs much memory.
constexpr int kMaxWidth = 1 << 16;
constexpr std::size_t kMaxFormat = 1 << 16;
// What one call may write, all its conversions together: a format may hold thousands of %s, each
// bringing a long string.
constexpr std::size_t kMaxOutput = 1 << 24;

enum class Length { None, Char, Short, Long, LongLong, Size, Max, Difference, LongDouble };
// The modifiers, the doubled ones before their single letters.
constexpr std::pair<const char*, Length> kLengths[] = {
    {"hh", Length::Char}, {"ll", Length::LongLong},  {"h", Length::Short},
    {"l", Length::Long},  {"q", Length::LongLong},   {"z", Length::Size},
    {"j", Length::Max},   {"t", Length::Difference}, {"L", Length::LongDouble}};

// One conversion done by the host's printf, whose formats agree with Darwin's for these.
template <class T> std::string hostPiece(const std::string& pattern, T value) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    const int size = std::snprintf(nullptr, 0, pattern.c_str(), value);
    std::string text(static_cast<std::size_t>(std::max(size, 0)), '\0');
    std::snprintf(text.data(), text.size() + 1, pattern.c_str(), value);
#pragma GCC diagnostic pop
    return text;
}

class Formatter {
  public:
    Formatter(const char* format, const std::function<std::uint64_t()>& next,
              const std::function<void(std::string_view)>& out)
        : format_(format), at_(format), next_(next), out_(out) {}

    bool run(std::string& error) {
        while (*at_ != '\0') {
            const char* start = at_;
            if (*at_ != '%') {
                while (*at_ != '\0' && *at_ != '%') {
                    ++at_;
                }
                if (!emit(std::string_view(start, static_cast<std::size_t>(at_ - start)))) {
                    return failed(start, error);
                }
                continue;
            }
            ++at_;
            if (!conversion()) {
                return failed(start, error);
            }
        }
        return true;
    }

  private:
    bool fail(std::string problem) {
        problem_ = std::move(problem);
        return false;
    }

    bool failed(const char* start, std::string& error) const {
        std::string shown(format_, std::min<std::size_t>(std::strlen(format_), 80));
        error = "the format \"" + shown + "\" " + problem_ + " at offset " + std::to_string(start - format_);
        return false;
    }

    // Digits of a width or precision; false past the limit or for a positional argument ("%1$d").
    bool number(int& into) {
        long long value = 0;
        while (*at_ >= '0' && *at_ <= '9') {
            value = value * 10 + (*at_++ - '0');
            if (value > kMaxWidth) {
                return fail("asks for a width or precision over " + std::to_string(kMaxWidth));
            }
        }
        if (*at_ == '$') {
            return fail("names an argument by position, which this C library does not take");
        }
        into = static_cast<int>(value);
        return true;
    }

    // Hands on a piece of the output; false once the call would write more than kMaxOutput.
    bool emit(std::string_view piece) {
        if (piece.size() > kMaxOutput - written_) {
            return fail("writes more than " + std::to_string(kMaxOutput) + " bytes");
        }
        written_ += piece.size();
        out_(piece);
        return true;
    }

    int starArgument() { return static_cast<int>(static_cast<std::uint32_t>(next_())); }

    bool conversion() {
        std::string flags;
        while (*at_ != '\0' && std::strchr("-+ #0", *at_) != nullptr) {
            if (flags.find(*at_) == std::string::npos) {
                flags += *at_;
            }
            ++at_;
        }
        int width = -1;
        if (*at_ == '*') {
            ++at_;
            long long given = starArgument();
            if (given < 0) {
                flags += '-';
                given = -given;
            }
            if (given > kMaxWidth) {
                return fail("asks for a width over " + std::to_string(kMaxWidth));
            }
            width = static_cast<int>(given);
        } else if (*at_ >= '1' && *at_ <= '9' && !number(width)) {
            return false;
        }
        int precision = -1;
        if (*at_ == '.') {
            ++at_;
            if (*at_ == '*') {
                ++at_;
                const int given = starArgument();
                if (given > kMaxWidth) {
                    return fail("asks for a precision over " + std::to_string(kMaxWidth));
                }
                precision = given < 0 ? -1 : given;
            } else if (!number(precision)) {
                return false;
            }
        }
        const Length length = lengthModifier();
        const char kind = *at_;
        if (kind == '\0') {
            return fail("ends inside a conversion");
        }
        ++at_;
        std::string pattern = "%" + flags;
        if (width >= 0) {
            pattern += std::to_string(width);
        }
        if (precision >= 0) {
            pattern += "." + std::to_string(precision);
        }
        switch (kind) {
        case 'd':
        case 'i':
            return integer<true>(pattern, length, kind);
        case 'u':
        case 'o':
        case 'x':
        case 'X':
            return integer<false>(pattern, length, kind);
        case 'c':
            if (length != Length::None) {
                return fail("has a wide or sized %c");
            }
            return emit(hostPiece(pattern + 'c', static_cast<int>(static_cast<unsigned char>(next_()))));
        case 's':
            return string(pattern, length, precision);
        case 'p':
            return pointer(flags, width, length);
        case 'f':
        case 'F':
        case 'e':
        case 'E':
        case 'g':
        case 'G':
        case 'a':
        case 'A':
            if (length != Length::None && length != Length::Long && length != Length::LongDouble) {
                return fail(std::string("has a length that does not apply to %") + kind);
            }
            // A long double is a double on Apple's arm64.
            return emit(hostPiece(pattern + kind, std::bit_cast<double>(next_())));
        case '%':
            return emit("%");
        case 'n':
            return fail("has %n, which would write through a pointer; it is refused");
        default:
            return fail(std::string("has a conversion %") + kind + " that this C library does not know");
        }
    }

    Length lengthModifier() {
        for (const auto& [letters, length] : kLengths) {
            const std::size_t size = std::strlen(letters);
            if (std::strncmp(at_, letters, size) == 0) {
                at_ += size;
                return length;
            }
        }
        return Length::None;
    }

    // d and i read a signed value, u o x and X an unsigned one, narrowed from its slot as its length says.
    template <bool Signed> bool integer(const std::string& pattern, Length length, char kind) {
        using Int = std::conditional_t<Signed, int, unsigned>;
        using Char = std::conditional_t<Signed, signed char, unsigned char>;
        using Short = std::conditional_t<Signed, short, unsigned short>;
        using Wide = std::conditional_t<Signed, long long, unsigned long long>;
        const std::uint64_t bits = next_();
        switch (length) {
        case Length::None:
            return emit(hostPiece(pattern + kind, static_cast<Int>(bits)));
        case Length::Char:
            return emit(hostPiece(pattern + kind, static_cast<Int>(static_cast<Char>(bits))));
        case Length::Short:
            return emit(hostPiece(pattern + kind, static_cast<Int>(static_cast<Short>(bits))));
        case Length::LongDouble:
            return fail(std::string("has %L") + kind);
        default: // every other length is 64 bits on arm64
            return emit(hostPiece(pattern + "ll" + kind, static_cast<Wide>(bits)));
        }
    }

    bool string(const std::string& pattern, Length length, int precision) {
        if (length != Length::None) {
            return fail("has a wide or sized %s");
        }
        const auto* text = reinterpret_cast<const char*>(next_());
        if (text == nullptr) {
            return emit(hostPiece(pattern + 's', "(null)"));
        }
        // No more is read than could still be written, and one byte to tell that it could not.
        const std::size_t room = kMaxOutput - written_ + 1;
        const std::size_t limit = precision >= 0 ? std::min(static_cast<std::size_t>(precision), room) : room;
        const auto read = darwin::stringFromGuest(text, limit);
        if (!read) {
            return fail("has a %s whose string cannot be read");
        }
        return emit(hostPiece(pattern + 's', read->c_str()));
    }

    // Darwin writes a pointer as 0x and its hexadecimal digits, null as 0x0.
    bool pointer(const std::string& flags, int width, Length length) {
        if (length != Length::None) {
            return fail("has a sized %p");
        }
        const std::string digits = "0x" + hostPiece("%llx", static_cast<unsigned long long>(next_()));
        std::string pattern = flags.find('-') != std::string::npos ? "%-" : "%";
        if (width >= 0) {
            pattern += std::to_string(width);
        }
        return emit(hostPiece(pattern + 's', digits.c_str()));
    }

    const char* format_;
    const char* at_;
    const std::function<std::uint64_t()>& next_;
    const std::function<void(std::string_view)>& out_;
    std::size_t written_ = 0;
    std::string problem_;
};

// The output of a guest printf call, or a guest fault for a format it cannot follow.
std::size_t formatCall(const char* function, const char* format, darwin::VariadicArguments& arguments,
                       const std::function<void(std::string_view)>& out) {
    const auto text = darwin::stringFromGuest(format, kMaxFormat);
    if (!text) {
        guestFault(std::string(function) + ": guest code passed a format it cannot read");
    }
    std::size_t total = 0;
    std::string error;
    const bool done = formatGuest(
        text->c_str(), [&] { return arguments.next(); },
        [&](std::string_view piece) {
            total += piece.size();
            out(piece);
        },
        error);
    if (!done) {
        guestFault(std::string(function) + ": " + error);
    }
    return total;
}

// An int result, or -1 with EOVERFLOW for a length an int cannot hold.
std::uint64_t lengthResult(std::size_t total) {
    if (total > INT_MAX) {
        return static_cast<std::uint64_t>(static_cast<long long>(darwin::refuse(darwin::kEOVERFLOW)));
    }
    return total;
}

// fprintf(stream, format, ...): the guest holds no streams but the standard ones the host gave it.
void printToStream(Registers& r) {
    auto* stream = reinterpret_cast<FILE*>(r.x[0]);
    if (stream != stderr && stream != stdout) {
        guestFault("fprintf: guest code wrote to a stream that is not stdout or stderr");
    }
    darwin::VariadicArguments arguments(r, "fprintf");
    std::string text;
    formatCall("fprintf", reinterpret_cast<const char*>(r.x[1]), arguments,
               [&](std::string_view piece) { text.append(piece); });
    if (std::fwrite(text.data(), 1, text.size(), stream) != text.size()) {
        r.x[0] = static_cast<std::uint64_t>(static_cast<long long>(darwin::refuse(darwin::kEIO)));
        return;
    }
    r.x[0] = lengthResult(text.size());
}

// snprintf(buffer, size, format, ...): writes at most size - 1 bytes and a NUL, and returns the whole
// length.
void printToBuffer(Registers& r) {
    auto* buffer = reinterpret_cast<char*>(r.x[0]);
    const std::size_t size = r.x[1];
    darwin::VariadicArguments arguments(r, "snprintf");
    std::size_t written = 0;
    const std::size_t room = size > 0 ? size - 1 : 0;
    const std::size_t total =
        formatCall("snprintf", reinterpret_cast<const char*>(r.x[2]), arguments, [&](std::string_view piece) {
            const std::size_t copied = std::min(piece.size(), room - written);
            if (!darwin::copyToGuest(buffer + written, piece.data(), copied)) {
                guestFault("snprintf: guest code passed a buffer it cannot write");
            }
            written += copied;
        });
    if (size > 0 && !darwin::copyToGuest(buffer + written, '\0')) {
        guestFault("snprintf: guest code passed a buffer it cannot write");
    }
    r.x[0] = lengthResult(total);
}

const std::array bindings{
    Binding{"___stderrp", object<&stderr>},
    Binding{"___stdoutp", object<&stdout>},
    Binding{"_fprintf", raw<printToStream>},
    Binding{"_snprintf", raw<printToBuffer>},
};

} // namespace

bool formatGuest(const char* format, const std::function<std::uint64_t()>& next,
                 const std::function<void(std::string_view)>& out, std::string& error) {
    return Formatter(format, next, out).run(error);
}

std::span<const Binding> libSystem::formattedOutput() { return bindings; }

} // namespace dyld
