#include "runtime/Classes.hpp"

#include <map>
#include <set>
#include <shared_mutex>

namespace objc {
namespace {

// Classes are only ever added, never removed, so entries live as long as the process.
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

} // namespace

void runtime::classRegistered(Class cls, std::vector<std::string> ownedIvars,
                              const std::vector<std::string>& protocols) {
    std::unique_lock lock(factsLock());
    ClassFacts& entry = facts()[cls];
    entry.ownedIvars = std::move(ownedIvars);
    entry.protocols.insert(protocols.begin(), protocols.end());
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
        id value = ivar<id>(object, name.c_str());
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
