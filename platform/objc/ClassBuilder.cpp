#include "objc/ClassBuilder.hpp"

// What registering a class involves beyond the runtime's calls differs between the runtimes; the
// include path chooses (see README).
#include "runtime/Classes.hpp"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <map>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace objc {
namespace {

std::size_t log2Of(std::size_t align) {
    std::size_t shift = 0;
    while ((std::size_t{1} << shift) < align) {
        ++shift;
    }
    return shift;
}

// Classes built before their superclass, waiting for it.
runtime::Mutex& pendingLock() {
    static runtime::Mutex lock;
    return lock;
}

std::vector<ClassBuilder::Definition>& pending() {
    static auto* list = new std::vector<ClassBuilder::Definition>();
    return *list;
}

Class realize(ClassBuilder::Definition& definition) {
    if (Class found = objc_lookUpClass(definition.name.c_str())) {
        return found;
    }
    Class super = definition.root ? Nil : objc_lookUpClass(definition.superName.c_str());
    Class cls = objc_allocateClassPair(super, definition.name.c_str(), 0);
    for (const auto& ivar : definition.ivars) {
        class_addIvar(cls, ivar.name.c_str(), ivar.size, static_cast<unsigned char>(log2Of(ivar.align)),
                      ivar.types.c_str());
    }
#if defined(__SANITIZE_ADDRESS__)
    // The runtime keeps what it copies of a class's methods where LeakSanitizer cannot see it;
    // classes live as long as the process.
    __lsan::ScopedDisabler runtimeTables;
#endif
    for (const auto& [key, method] : definition.methods) {
        Class target = key.second ? object_getClass(reinterpret_cast<id>(cls)) : cls;
        class_addMethod(target, sel_registerName(key.first.c_str()), method.imp, method.types.c_str());
    }
    objc_registerClassPair(cls);
    runtime::classRegistered(cls, std::move(definition.ownedIvars), definition.protocols);
    return cls;
}

bool ready(const ClassBuilder::Definition& definition) {
    return definition.root || objc_lookUpClass(definition.superName.c_str()) != Nil;
}

} // namespace

ClassBuilder::ClassBuilder(const char* name, const char* superName) {
    existing_ = objc_lookUpClass(name);
    definition_.name = name;
    definition_.root = superName == nullptr;
    if (superName != nullptr) {
        definition_.superName = superName;
    }
}

ClassBuilder::~ClassBuilder() = default;

ClassBuilder& ClassBuilder::addIvar(const char* name, std::size_t size, std::size_t align, const char* types,
                                    bool owning) {
    definition_.ivars.push_back({name, size, align, types});
    if (owning) {
        definition_.ownedIvars.emplace_back(name);
    }
    return *this;
}

ClassBuilder& ClassBuilder::addMethod(const char* selector, IMP imp, const char* types, bool classSide) {
    definition_.methods[{selector, classSide}] = Definition::Method{imp, types};
    return *this;
}

ClassBuilder& ClassBuilder::protocol(const char* name) {
    definition_.protocols.emplace_back(name);
    return *this;
}

Class ClassBuilder::build() {
    if (existing_ != Nil) {
        return existing_;
    }
    runtime::MutexLock lock(pendingLock());
    if (!ready(definition_)) {
        pending().push_back(std::move(definition_));
        return Nil;
    }
    Class cls = realize(definition_);
    // Each class registered may be the superclass that others wait for.
    for (bool progress = true; progress;) {
        progress = false;
        auto& waiting = pending();
        for (std::size_t k = 0; k < waiting.size(); ++k) {
            if (ready(waiting[k])) {
                ClassBuilder::Definition next = std::move(waiting[k]);
                waiting.erase(waiting.begin() + static_cast<std::ptrdiff_t>(k));
                realize(next);
                progress = true;
                break;
            }
        }
    }
    return cls;
}

void requireClassesRegistered() {
    runtime::MutexLock lock(pendingLock());
    if (pending().empty()) {
        return;
    }
    for (const auto& definition : pending()) {
        std::fprintf(stderr, "objc: cannot define class %s: its superclass %s does not exist\n",
                     definition.name.c_str(), definition.superName.c_str());
    }
    std::abort();
}

void ClassBuilder::requireOwnClass(const char* className, const char* ivar) const {
    if (definition_.name == className) {
        return;
    }
    std::fprintf(stderr, "objc: class %s cannot hold %s, an instance variable of %s\n",
                 definition_.name.c_str(), ivar, className);
    std::abort();
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

char* ClassBuilder::propertyStorage(id self, SEL sel) {
    if (isNil(self)) {
        return nullptr;
    }
    // No ivar is at offset 0, the class pointer's place: 0 marks "none".
    static runtime::Mutex lock;
    static auto* offsets = new std::map<std::pair<Class, SEL>, std::ptrdiff_t>();
    const std::pair<Class, SEL> key{object_getClass(self), sel};
    std::ptrdiff_t offset = -1;
    {
        runtime::MutexLock guard(lock);
        if (auto found = offsets->find(key); found != offsets->end()) {
            offset = found->second;
        }
    }
    if (offset < 0) {
        Ivar ivar = class_getInstanceVariable(key.first, ivarName(self, sel).c_str());
        offset = ivar != nullptr ? ivar_getOffset(ivar) : 0;
        runtime::MutexLock guard(lock);
        offsets->emplace(key, offset);
    }
    return offset > 0 ? reinterpret_cast<char*>(self) + offset : nullptr;
}

void ClassBuilder::propertySetOwning(id self, SEL sel, id value) {
    char* kept = propertyStorage(self, sel);
    if (kept == nullptr) {
        return;
    }
    id old = nil;
    __builtin_memcpy(&old, kept, sizeof old);
    if (old == value) {
        return;
    }
    send<id>(value, Selector<"retain">::get());
    __builtin_memcpy(kept, &value, sizeof value);
    send<void>(old, Selector<"release">::get());
}

void ClassBuilder::propertySetCopying(id self, SEL sel, id value) {
    char* kept = propertyStorage(self, sel);
    if (kept == nullptr) {
        return;
    }
    id copy = send<id>(value, Selector<"copy">::get());
    id old = nil;
    __builtin_memcpy(&old, kept, sizeof old);
    __builtin_memcpy(kept, &copy, sizeof copy);
    send<void>(old, Selector<"release">::get());
}

} // namespace objc
