// A method's result and argument types as the runtime records them, for a send whose selector is known only
// at run time.
#pragma once

#include "objc/Runtime.hpp"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace objc {

// How deep the types of an encoding may nest (pointers, arrays, structs and unions within each other):
// deeper than any method of the frameworks has, and shallow enough that reading one costs little stack.
inline constexpr int kMaxTypeNesting = 32;

// The types of a type encoding one after another, each without the qualifiers before it and the
// frame offset after it: "v24@0:8@\"UIView\"16" gives "v", "@", ":" and "@\"UIView\"". Nullopt, with
// `error` saying why, for an encoding that is malformed or nests deeper than kMaxTypeNesting. The
// one reader of encodings: a method's signature and the loader's calls across its boundary both
// split an encoding here before making anything of its types.
GLINTMERE_EXPORT std::optional<std::vector<std::string_view>> splitTypes(std::string_view types,
                                                                         std::string& error);

// What one type of an encoding (as splitTypes gives it) is made of, each part without the qualifiers
// before it: a struct's or union's name and member types ("{CGPoint=dd}" gives "CGPoint", "d" and "d";
// the bare "{CGPoint}" names no members), an array's length and element type, the type a pointer or a
// complex number is of, the class an object's type names. What a value's layout is read from.
struct TypeParts {
    std::string_view name;
    std::vector<std::string_view> members;
    std::size_t count = 0; // an array's length, SIZE_MAX for one longer than a size can say
    std::string_view element;
};
// The parts of `type`; nullopt when it is not one whole type, or nests deeper than kMaxTypeNesting.
GLINTMERE_EXPORT std::optional<TypeParts> typeParts(std::string_view type);

// What a method gives back and takes, one type encoding each ("v", "@", "@\"UIView\"", "B",
// "{CGRect=dddd}"), without the qualifiers and frame offsets that runtimes add. A selector named by
// a file may name any method of its receiver; reading this first is what tells a send that would
// pass the wrong arguments, or treat a number as an object, from a fitting one.
struct GLINTMERE_EXPORT MethodSignature {
    std::string result;
    std::vector<std::string> arguments; // after self and _cmd

    // The signature of a method type encoding such as "v24@0:8@\"UIView\"16"; nullopt for one
    // that is malformed or lacks self and _cmd.
    static std::optional<MethodSignature> parse(std::string_view types);
    // The signature of the method `receiver` runs for `sel` (an instance's or, for a class, a class
    // method); nullopt when it has none of its own, as for a message it only forwards.
    static std::optional<MethodSignature> of(id receiver, SEL sel);

    // The method as Objective-C declares it: "- (void)setView:(UIView *)".
    std::string declaration(SEL sel) const;
};

// True for an encoding of an object: `id`, or a pointer to a class it names (not a block, not a class).
GLINTMERE_EXPORT bool isObjectType(std::string_view type);
// True when an object of class `cls` may be passed where `type` is declared: `id` takes any object,
// a named class its instances and those of its subclasses.
GLINTMERE_EXPORT bool acceptsInstanceOf(std::string_view type, Class cls);
// A type encoding as Objective-C source spells it: "void", "id", "UIView *", "BOOL", "struct CGRect".
GLINTMERE_EXPORT std::string typeSpelling(std::string_view type);

} // namespace objc
