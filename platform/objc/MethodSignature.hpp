// A method's result and argument types as the runtime records them, for a send whose selector is known only
// at run time.
#pragma once

#include "objc/Runtime.hpp"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace objc {

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
