#include "runtime/Classes.hpp"

#include <map>
#include <set>
#include <shared_mutex>
#include <unordered_map>
#include <utility>

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
    entry.ownedIvars.insert(entry.ownedIvars.end(), ownedIvars.begin(), ownedIvars.end());
    entry.protocols.insert(protocols.begin(), protocols.end());
}

namespace {

// Where the owned ivars of an instance of `cls` lie, its superclasses' included; found once per
// class, as every dealloc asks. A class's chain and ivars do not change once it has instances.
const std::vector<std::ptrdiff_t>& ownedIvarOffsets(Class cls) {
    static std::shared_mutex lock;
    static auto* offsets = new std::unordered_map<Class, std::vector<std::ptrdiff_t>>();
    {
        std::shared_lock read(lock);
        auto it = offsets->find(cls);
        if (it != offsets->end()) {
            return it->second;
        }
    }
    std::vector<std::ptrdiff_t> found;
    {
        std::shared_lock read(factsLock());
        for (Class c = cls; c != Nil; c = class_getSuperclass(c)) {
            auto it = facts().find(c);
            if (it == facts().end()) {
                continue;
            }
            // By name from the instance's own class, as a send of the ivar's name would find it.
            for (const std::string& name : it->second.ownedIvars) {
                if (Ivar ivar = class_getInstanceVariable(cls, name.c_str())) {
                    found.push_back(ivar_getOffset(ivar));
                }
            }
        }
    }
    std::unique_lock write(lock);
    // Entries of an unordered map stay where they are as it grows.
    return offsets->try_emplace(cls, std::move(found)).first->second;
}

} // namespace

void releaseOwnedIvars(id object) {
    for (const std::ptrdiff_t offset : ownedIvarOffsets(object_getClass(object))) {
        // A name that a subclass declares again is listed twice, and released once.
        id value = std::exchange(*reinterpret_cast<id*>(reinterpret_cast<char*>(object) + offset), nil);
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
