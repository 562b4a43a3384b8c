#include "objc/ClassBuilder.hpp"

#include <cctype>
#include <cstdio>
#include <map>
#include <mutex>
#include <set>
#include <shared_mutex>

namespace objc {
namespace {

// What the runtime cannot hold for us: which ivars own their object, which protocols a class
// declared. Classes are only ever added, never removed, so entries live as long as the process.
struct ClassFacts {
    std::vector<std::string> ownedIvars;
    std::set<std::string> protocols;
};

std::shared_mutex& factsLock() {
    static std::shared_mutex lock;
    return lock;
}

std::map<Class, ClassFacts>& facts() {
    static auto* table = new std::map<Class, ClassFacts>();
    return *table;
}

std::size_t log2Of(std::size_t align) {
    std::size_t shift = 0;
    while ((std::size_t{1} << shift) < align) {
        ++shift;
    }
    return shift;
}

} // namespace

ClassBuilder::ClassBuilder(const char* name, const char* superName) {
    if (Class found = objc_lookUpClass(name)) {
        existing_ = found;
        return;
    }
    Class super = Nil;
    if (superName != nullptr) {
        super = objc_lookUpClass(superName);
        if (super == Nil) {
            std::fprintf(stderr, "objc: cannot define %s: no superclass %s\n", name, superName);
            return;
        }
    }
    cls_ = objc_allocateClassPair(super, name, 0);
}

ClassBuilder::~ClassBuilder() {
    if (cls_ != Nil) {
        // Never built: the runtime keeps an unregistered pair until it is disposed of.
        objc_disposeClassPair(cls_);
    }
}

ClassBuilder& ClassBuilder::addIvar(const char* name, std::size_t size, std::size_t align, const char* types,
                                    bool owning) {
    if (cls_ == Nil) {
        return *this;
    }
    class_addIvar(cls_, name, size, static_cast<unsigned char>(log2Of(align)), types);
    if (owning) {
        ownedIvars_.emplace_back(name);
    }
    return *this;
}

ClassBuilder& ClassBuilder::addMethod(const char* selector, IMP imp, const char* types, bool classSide) {
    if (cls_ == Nil) {
        return *this;
    }
    methods_[{selector, classSide}] = PendingMethod{imp, types};
    return *this;
}

ClassBuilder& ClassBuilder::protocol(const char* name) {
    protocols_.emplace_back(name);
    return *this;
}

Class ClassBuilder::build() {
    if (existing_ != Nil || cls_ == Nil) {
        return existing_;
    }
    Class cls = std::exchange(cls_, Nil);
    for (const auto& [key, method] : methods_) {
        Class target = key.second ? object_getClass(reinterpret_cast<id>(cls)) : cls;
        class_addMethod(target, sel_registerName(key.first.c_str()), method.imp, method.types.c_str());
    }
    objc_registerClassPair(cls);
    std::unique_lock lock(factsLock());
    ClassFacts& entry = facts()[cls];
    entry.ownedIvars = std::move(ownedIvars_);
    entry.protocols.insert(protocols_.begin(), protocols_.end());
    return cls;
}

std::string ClassBuilder::setterName(const char* property) {
    std::string name = "set";
    name += property;
    name[3] = static_cast<char>(std::toupper(static_cast<unsigned char>(name[3])));
    return name + ":";
}

std::string ClassBuilder::ivarName(id self, SEL sel) {
    std::string name = sel_getName(sel);
    if (name.size() <= 4 || !name.starts_with("set") || name.back() != ':') {
        return "_" + name;
    }
    std::string kept = "_" + name.substr(3, name.size() - 4);
    std::string lowered = kept;
    lowered[1] = static_cast<char>(std::tolower(static_cast<unsigned char>(lowered[1])));
    return class_getInstanceVariable(object_getClass(self), lowered.c_str()) != nullptr ? lowered : kept;
}

void ClassBuilder::propertySetOwning(id self, SEL sel, id value) {
    const std::string name = ivarName(self, sel);
    id old = objc::ivar<id>(self, name.c_str());
    if (old == value) {
        return;
    }
    send<id>(value, Selector<"retain">::get());
    setIvar<id>(self, name.c_str(), value);
    send<void>(old, Selector<"release">::get());
}

void releaseOwnedIvars(id object) {
    std::vector<std::string> names;
    {
        std::shared_lock lock(factsLock());
        for (Class c = object_getClass(object); c != Nil; c = class_getSuperclass(c)) {
            auto it = facts().find(c);
            if (it != facts().end()) {
                names.insert(names.end(), it->second.ownedIvars.begin(), it->second.ownedIvars.end());
            }
        }
    }
    for (const std::string& name : names) {
        id value = objc::ivar<id>(object, name.c_str());
        setIvar<id>(object, name.c_str(), nil);
        send<void>(value, Selector<"release">::get());
    }
}

bool conformsToProtocol(Class cls, const char* protocol) {
    std::shared_lock lock(factsLock());
    for (Class c = cls; c != Nil; c = class_getSuperclass(c)) {
        auto it = facts().find(c);
        if (it != facts().end() && it->second.protocols.contains(protocol)) {
            return true;
        }
    }
    return false;
}

} // namespace objc
