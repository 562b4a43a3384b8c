#include "Preferences/PSRowMessages.hpp"

#include "Foundation/NSString.hpp"
#include "Preferences/PSSpecifier.hpp"
#include "objc/MethodSignature.hpp"

namespace PS {

namespace {

struct Rule {
    const char* role;     // what the row calls the selector
    const char* contract; // what the host sends, in words
};

Rule ruleFor(RowMessage message) {
    switch (message) {
    case RowMessage::Action:
        return {"action", "an action returns void and takes nothing or the row's PSSpecifier"};
    case RowMessage::Getter:
        return {"getter", "a getter returns an object and takes the row's PSSpecifier"};
    case RowMessage::Setter:
        return {"setter", "a setter returns void and takes the new value and the row's PSSpecifier"};
    }
    return {"", ""};
}

SEL selectorFor(Specifier* specifier, RowMessage message) {
    switch (message) {
    case RowMessage::Action:
        return specifier->buttonAction();
    case RowMessage::Getter:
        return specifier->getter();
    case RowMessage::Setter:
        return specifier->setter();
    }
    return nullptr;
}

// True when a method of `signature` takes what the host passes as `message` and gives what it uses.
bool fits(const objc::MethodSignature& signature, RowMessage message, Class row, Class value) {
    const auto& arguments = signature.arguments;
    switch (message) {
    case RowMessage::Action:
        return signature.result == "v" &&
               (arguments.empty() || (arguments.size() == 1 && objc::acceptsInstanceOf(arguments[0], row)));
    case RowMessage::Getter:
        return objc::isObjectType(signature.result) && arguments.size() == 1 &&
               objc::acceptsInstanceOf(arguments[0], row);
    case RowMessage::Setter:
        // A nil value reaches the method as nil, which any object argument takes.
        return signature.result == "v" && arguments.size() == 2 &&
               (value == Nil ? objc::isObjectType(arguments[0])
                             : objc::acceptsInstanceOf(arguments[0], value)) &&
               objc::acceptsInstanceOf(arguments[1], row);
    }
    return false;
}

} // namespace

std::string refusalToSend(Specifier* specifier, RowMessage message, NS::Object* value) {
    const SEL selector = selectorFor(specifier, message);
    id target = specifier->target();
    if (selector == nullptr || objc::isNil(target)) {
        return {}; // a send to nil, or of nothing, passes nothing
    }
    const Rule rule = ruleFor(message);
    const std::string named = std::string("its ") + rule.role + " " + sel_getName(selector);
    const char* owner = class_getName(object_getClass(target));
    const auto signature = objc::MethodSignature::of(target, selector);
    if (!signature) {
        return named + " has no method in " + owner + " that says what it takes, and " + rule.contract;
    }
    if (fits(*signature, message, object_getClass(objc::toId(specifier)),
             value != nullptr ? object_getClass(objc::toId(value)) : Nil)) {
        return {};
    }
    std::string contract = rule.contract;
    if (message == RowMessage::Setter && value != nullptr) {
        // The value's class may be what the method does not take: say it.
        contract.insert(contract.find(" and the row's"),
                        std::string(", of class ") + class_getName(object_getClass(objc::toId(value))) + ",");
    }
    return named + " is " + signature->declaration(selector) + " in " + owner + ", but " + contract;
}

std::string rowName(Specifier* specifier) {
    if (auto title = specifier->name(); title != nullptr && title->length() > 0) {
        return "\"" + title->str() + "\"";
    }
    if (auto identifier = specifier->identifier(); identifier != nullptr && identifier->length() > 0) {
        return "\"" + identifier->str() + "\"";
    }
    return "a row without a title";
}

} // namespace PS
