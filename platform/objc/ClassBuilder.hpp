// Defines runtime classes from C++: superclass by name, ivars, properties, methods and protocols.
#pragma once

#include "objc/Runtime.hpp"
#include "objc/TypeEncoding.hpp"

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace objc {

// How an object-typed ivar or property holds its value: owning ones retain on set and are
// released when the object is deallocated; plain ones only store the pointer.
enum class Ownership { Owning, Plain };

class GLINTMERE_EXPORT ClassBuilder {
  public:
    // Starts a subclass of the class named `superName`; a null `superName` starts a root class.
    ClassBuilder(const char* name, const char* superName);
    ClassBuilder(const ClassBuilder&) = delete;
    ClassBuilder& operator=(const ClassBuilder&) = delete;
    ~ClassBuilder();

    template <class T> ClassBuilder& ivar(const char* name, Ownership ownership = Ownership::Plain) {
        return addIvar(name, sizeof(T), alignof(T), encode<T>().c_str(),
                       std::is_pointer_v<T> && ownership == Ownership::Owning);
    }

    // Adds the ivar `_name` with the accessors `name` and `setName:`.
    template <class T> ClassBuilder& property(const char* name, Ownership ownership = Ownership::Owning) {
        ivar<T>(("_" + std::string(name)).c_str(), ownership);
        const std::string getter = name;
        const std::string setter = setterName(name);
        if constexpr (std::is_pointer_v<T>) {
            addMethod(getter.c_str(), toImp(&propertyGet<id>), encodeMethod<id>().c_str(), false);
            addMethod(setter.c_str(),
                      ownership == Ownership::Owning ? toImp(&propertySetOwning) : toImp(&propertySet<id>),
                      encodeMethod<void, id>().c_str(), false);
        } else {
            addMethod(getter.c_str(), toImp(&propertyGet<T>), encodeMethod<T>().c_str(), false);
            addMethod(setter.c_str(), toImp(&propertySet<T>), encodeMethod<void, T>().c_str(), false);
        }
        return *this;
    }

    // Adds an instance method. `Fn` is either a function `R (*)(Self*, SEL, Args...)`, whose
    // signature is the method's own, or a member function `R (Self::*)(Args...)` of a view type.
    template <auto Fn> ClassBuilder& method(const char* selector) {
        return addMethod(selector, Implementation<Fn>::imp(), Implementation<Fn>::types().c_str(), false);
    }
    template <auto Fn> ClassBuilder& classMethod(const char* selector) {
        return addMethod(selector, Implementation<Fn>::imp(), Implementation<Fn>::types().c_str(), true);
    }

    ClassBuilder& protocol(const char* name);

    // Registers the class and returns it. A class of that name that already exists is returned
    // untouched, so that registering twice cannot replace a live class.
    Class build();

    ClassBuilder& addIvar(const char* name, std::size_t size, std::size_t align, const char* types,
                          bool owning);
    ClassBuilder& addMethod(const char* selector, IMP imp, const char* types, bool classSide);

  private:
    static std::string setterName(const char* property);

    template <class T> static T propertyGet(id self, SEL sel) {
        return objc::ivar<T>(self, ivarName(self, sel).c_str());
    }
    template <class T> static void propertySet(id self, SEL sel, T value) {
        setIvar<T>(self, ivarName(self, sel).c_str(), value);
    }
    static void propertySetOwning(id self, SEL sel, id value);
    // `name` and `setName:` both keep their value in `_name`; the setter of a name that starts with
    // capitals keeps them (`URL`, `setURL:`), so `self`'s ivars decide which spelling it is.
    static std::string ivarName(id self, SEL sel);

    template <auto Fn> struct Implementation;
    template <class Self, class R, class... Args, R (*Fn)(Self*, SEL, Args...)> struct Implementation<Fn> {
        static IMP imp() { return toImp(Fn); }
        static std::string types() { return encodeMethod<R, Args...>(); }
    };
    template <class Self, class R, class... Args, R (Self::*Fn)(Args...)> struct Implementation<Fn> {
        static R trampoline(Self* self, SEL, Args... args) { return (self->*Fn)(args...); }
        static IMP imp() { return toImp(&trampoline); }
        static std::string types() { return encodeMethod<R, Args...>(); }
    };

    Class cls_ = Nil;
    Class existing_ = Nil;
    struct PendingMethod {
        IMP imp;
        std::string types;
    };
    // Methods wait here until build(): the runtime cannot replace a method of a class that is not
    // registered yet, and a later definition of the same selector must win.
    std::map<std::pair<std::string, bool>, PendingMethod> methods_;
    std::vector<std::string> ownedIvars_;
    std::vector<std::string> protocols_;
};

// Releases every owning ivar of `object`, for the root class's dealloc.
GLINTMERE_EXPORT void releaseOwnedIvars(id object);

// Protocols that a builder class declared, by name, including those of its superclasses.
GLINTMERE_EXPORT bool conformsToProtocol(Class cls, const char* protocol);

} // namespace objc
