// Defines runtime classes from C++: superclass by name, ivars, properties, methods and protocols.
#pragma once

#include "objc/InstanceVariable.hpp"
#include "objc/Message.hpp"
#include "objc/Runtime.hpp"
#include "objc/TypeEncoding.hpp"

#include <map>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace objc {

// Collects a class and registers it with build(). A class whose superclass does not exist yet waits
// until it does: classes may be built in any order, and each is registered right after its
// superclass. What still waits when a library has loaded stops the program (see Registration.hpp).
class GLINTMERE_EXPORT ClassBuilder {
  public:
    // Starts a subclass of the class named `superName`; a null `superName` starts a root class.
    ClassBuilder(const char* name, const char* superName);
    ClassBuilder(const ClassBuilder&) = delete;
    ClassBuilder& operator=(const ClassBuilder&) = delete;
    ~ClassBuilder();

    // Adds the ivar `_name` with the accessors `name` and `setName:`.
    template <class T> ClassBuilder& property(const char* name, Ownership ownership = Ownership::Owning) {
        addIvar(("_" + std::string(name)).c_str(), sizeof(T), alignof(T), encode<T>().c_str(),
                std::is_pointer_v<T> && ownership != Ownership::Plain);
        const std::string getter = name;
        const std::string setter = setterName(name);
        if constexpr (std::is_pointer_v<T>) {
            addMethod(getter.c_str(), toImp(&propertyGet<id>), encodeMethod<T>().c_str(), false);
            addMethod(setter.c_str(),
                      ownership == Ownership::Owning    ? toImp(&propertySetOwning)
                      : ownership == Ownership::Copying ? toImp(&propertySetCopying)
                                                        : toImp(&propertySet<id>),
                      encodeMethod<void, T>().c_str(), false);
        } else {
            addMethod(getter.c_str(), toImp(&propertyGet<T>), encodeMethod<T>().c_str(), false);
            addMethod(setter.c_str(), toImp(&propertySet<T>), encodeMethod<void, T>().c_str(), false);
        }
        return *this;
    }

    ClassBuilder& protocol(const char* name);

    // Registers the class and returns it; Nil while its superclass is still to come. A class of that
    // name that already exists is returned untouched, so that registering twice cannot replace a
    // live class.
    Class build();

    ClassBuilder& addIvar(const char* name, std::size_t size, std::size_t align, const char* types,
                          bool owning);
    // A method as the runtime takes it. Methods that a view declares go through ClassDefinition,
    // which checks them; this is for selectors made at run time, which no view can declare.
    ClassBuilder& addMethod(const char* selector, IMP imp, const char* types, bool classSide);

  protected:
    // Stops the program unless the class being defined is `className`, whose view declares `ivar`.
    void requireOwnClass(const char* className, const char* ivar) const;

  private:
    static std::string setterName(const char* property);

    template <class T> static T propertyGet(id self, SEL sel) {
        T value{};
        if (char* kept = propertyStorage(self, sel)) {
            __builtin_memcpy(&value, kept, sizeof(T));
        }
        return value;
    }
    template <class T> static void propertySet(id self, SEL sel, T value) {
        if (char* kept = propertyStorage(self, sel)) {
            __builtin_memcpy(kept, &value, sizeof(T));
        }
    }
    static void propertySetOwning(id self, SEL sel, id value);
    static void propertySetCopying(id self, SEL sel, id value);
    // `name` and `setName:` both keep their value in `_name`; the setter of a name that starts with
    // capitals keeps them (`URL`, `setURL:`), so `self`'s ivars decide which spelling it is.
    static std::string ivarName(id self, SEL sel);
    // Where the accessor `sel` keeps its value in `self`; null for nil or a class without the ivar.
    // Found by name on the first call for the class and the selector, and then kept: a registered
    // class's ivars never change, and a pane's rows are thousands of property calls.
    static char* propertyStorage(id self, SEL sel);

  public:
    // What build() registers; kept whole while the superclass is still to come.
    struct Definition {
        struct Ivar {
            std::string name;
            std::size_t size;
            std::size_t align;
            std::string types;
        };
        struct Method {
            IMP imp;
            std::string types;
        };
        std::string name;
        std::string superName;
        bool root = false;
        std::vector<Ivar> ivars;
        // A later definition of the same selector wins.
        std::map<std::pair<std::string, bool>, Method> methods;
        std::vector<std::string> ownedIvars;
        std::vector<std::string> protocols;
    };

  private:
    Class existing_ = Nil;
    Definition definition_;
};

// Stops the program, naming each class, when a class is still waiting for its superclass.
GLINTMERE_EXPORT void requireClassesRegistered();

// The implementation of a declared message, as a function the runtime can call: `Impl` is a lambda
// without captures taking the typed receiver (or `Class` for a class method), optionally the
// selector, then exactly the message's arguments, and giving exactly its result. A nil-safe `Ptr<T>`
// may stand wherever the message has `T*`.
namespace detail {

template <class Declared, class Given> inline constexpr bool sameType = std::is_same_v<Declared, Given>;
template <ViewType T> inline constexpr bool sameType<T*, Ptr<T>> = true;
template <ViewType T> inline constexpr bool sameType<const T*, Ptr<const T>> = true;

template <class F> struct CallSignature : CallSignature<decltype(&F::operator())> {};
template <class L, class R, class... A> struct CallSignature<R (L::*)(A...) const> {
    using Result = R;
    using Arguments = std::tuple<A...>;
};

// A function as a lambda-like type, so that both are checked and called the same way.
template <auto Fn> struct FunctionCall;
template <class R, class... A, R (*Fn)(A...)> struct FunctionCall<Fn> {
    R operator()(A... args) const { return Fn(args...); }
};

// True when `Setter` is the setter Cocoa names after the property `Getter`: "name" and "setName:".
template <FixedString Getter, FixedString Setter> constexpr bool isSetterOf() {
    constexpr std::size_t length = sizeof(Getter.text) - 1;
    if (sizeof(Setter.text) != length + 5 || length == 0) {
        return false;
    }
    const char first = Getter.text[0] >= 'a' && Getter.text[0] <= 'z'
                           ? static_cast<char>(Getter.text[0] - 'a' + 'A')
                           : Getter.text[0];
    if (Setter.text[0] != 's' || Setter.text[1] != 'e' || Setter.text[2] != 't' || Setter.text[3] != first) {
        return false;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if (Setter.text[3 + i] != Getter.text[i]) {
            return false;
        }
    }
    return Setter.text[length + 3] == ':';
}

template <class Declared, class Given> struct SameArguments : std::false_type {};
template <class... D, class... G>
requires(sizeof...(D) == sizeof...(G)) struct SameArguments<std::tuple<D...>, std::tuple<G...>>
    : std::bool_constant<(sameType<D, G> && ...)> {
};

template <class Receiver, class M, class Impl, class Signature = typename M::Signature> struct Trampoline;
template <class Receiver, class M, class Impl, class R, class... Params>
struct Trampoline<Receiver, M, Impl, R(Params...)> {
    using Given = CallSignature<Impl>;
    static constexpr bool takesSelector =
        std::tuple_size_v<typename Given::Arguments> == sizeof...(Params) + 2;
    using Self = std::tuple_element_t<0, decltype(std::tuple_cat(std::declval<typename Given::Arguments>(),
                                                                 std::declval<std::tuple<void*>>()))>;

    static R call(id self, SEL sel, Params... args) {
        if constexpr (takesSelector) {
            return Impl{}(reinterpret_cast<Self>(self), sel, args...);
        } else {
            return Impl{}(reinterpret_cast<Self>(self), args...);
        }
    }

    template <class... G> static constexpr bool argumentsMatchIn(std::tuple<G...>*) {
        if constexpr (takesSelector) {
            return SameArguments<std::tuple<SEL, Params...>, std::tuple<G...>>::value;
        } else {
            return SameArguments<std::tuple<Params...>, std::tuple<G...>>::value;
        }
    }
    template <class First, class... Rest> static constexpr auto rest(std::tuple<First, Rest...>*) {
        return static_cast<std::tuple<Rest...>*>(nullptr);
    }
    static constexpr auto rest(std::tuple<>*) { return static_cast<std::tuple<void>*>(nullptr); }

    static constexpr bool receiverMatches() {
        if constexpr (M::side == Side::Class) {
            return std::is_same_v<Self, Class>;
        } else if constexpr (std::is_pointer_v<Self>) {
            return std::is_base_of_v<std::remove_cv_t<std::remove_pointer_t<Self>>,
                                     std::remove_cv_t<Receiver>>;
        } else {
            return false;
        }
    }
    static constexpr bool resultMatches = sameType<R, typename Given::Result>;
    static constexpr bool argumentsMatch =
        argumentsMatchIn(rest(static_cast<typename Given::Arguments*>(nullptr)));
    static constexpr bool matches = receiverMatches() && resultMatches && argumentsMatch;

    static void check() {
        static_assert(M::side == Side::Instance || receiverMatches(),
                      "a class method's implementation takes `Class` first");
        static_assert(M::side == Side::Class || receiverMatches(),
                      "an implementation takes a pointer to its class's view (or a base of it) first");
        static_assert(resultMatches, "the implementation's result type is not the one the message declares");
        static_assert(argumentsMatch,
                      "the implementation's parameter types are not the ones the message declares");
    }
};

} // namespace detail

// A class builder for the class that the view `View` stands for: name and superclass come from the
// view, and methods from the messages the views declare, checked against their implementations.
template <class View> class ClassDefinition : public ClassBuilder {
  public:
    ClassDefinition() : ClassBuilder(View::className(), View::superclassName()) {}
    explicit ClassDefinition(const char* superName) : ClassBuilder(View::className(), superName) {}
    // A class of another name whose instances are seen through `View` (a class of its own made at
    // run time, such as a subclass that overrides a few of the view's messages).
    ClassDefinition(const char* name, const char* superName) : ClassBuilder(name, superName) {}

    template <FixedString Name, class Signature, Side S, class Impl>
    ClassDefinition& method(const Message<Name, Signature, S>&, Impl) {
        using T = detail::Trampoline<View, Message<Name, Signature, S>, Impl>;
        T::check();
        if constexpr (T::matches) {
            addMethod(Name.text, toImp(&T::call), encodeMethodOf(static_cast<Signature*>(nullptr)).c_str(),
                      S == Side::Class);
        }
        return *this;
    }

    // The same, with a function of the same form as the lambda: `method<&count>(Array::count_)`.
    template <auto Fn, FixedString Name, class Signature, Side S>
    ClassDefinition& method(const Message<Name, Signature, S>& message) {
        return method(message, detail::FunctionCall<Fn>{});
    }

    // The instance variable a view declares, with its ownership: a view's own class holds it, so the
    // class defined must be the one the variable's view stands for, else registering it stops.
    template <FixedString N, class T, class Owner, Ownership O>
    ClassDefinition& ivar(const InstanceVariable<N, T, Owner, O>&) {
        requireOwnClass(Owner::className(), N.text);
        addIvar(N.text, sizeof(T), alignof(T), encode<T>().c_str(), O != Ownership::Plain);
        return *this;
    }
    // The property whose value the view's variable `_name` keeps: the variable, with its ownership, and
    // the accessors `name` and `setName:`.
    template <FixedString N, class T, class Owner, Ownership O>
    ClassDefinition& property(const InstanceVariable<N, T, Owner, O>&) {
        static_assert(N.text[0] == '_', "a property keeps its value in `_` and its name");
        requireOwnClass(Owner::className(), N.text);
        ClassBuilder::property<T>(N.text + 1, O);
        return *this;
    }
    template <class T> ClassDefinition& property(const char* name, Ownership ownership = Ownership::Owning) {
        ClassBuilder::property<T>(name, ownership);
        return *this;
    }
    // The same property from the two messages the view declares for it, `name` and `setName:`:
    // the setter must be the getter's and take what the getter gives.
    template <FixedString Getter, class T, FixedString Setter>
    ClassDefinition& property(const Message<Getter, T(), Side::Instance>&,
                              const Message<Setter, void(T), Side::Instance>&,
                              Ownership ownership = Ownership::Owning) {
        static_assert(detail::isSetterOf<Getter, Setter>(), "the setter is not `set` and the getter's name");
        ClassBuilder::property<T>(Getter.text, ownership);
        return *this;
    }
    ClassDefinition& protocol(const char* name) {
        ClassBuilder::protocol(name);
        return *this;
    }

  private:
    template <class R, class... Params> static std::string encodeMethodOf(R (*)(Params...)) {
        return encodeMethod<R, Params...>();
    }
};

// Keeps `value`, retained, in the owning `variable` of `object`, and releases what it held: the
// setter of an owning property, for setters that do more than store.
template <FixedString N, class T, class Owner, class V>
void storeOwned(std::type_identity_t<const Holder<Owner>*> object,
                const InstanceVariable<N, T, Owner, Ownership::Owning>& variable, V value) {
    T kept = value;
    T old = ivar(object, variable);
    if (old == kept) {
        return;
    }
    send<id>(kept, Selector<"retain">::get());
    setIvar(object, variable, kept);
    send<void>(old, Selector<"release">::get());
}

} // namespace objc
