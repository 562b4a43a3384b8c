#include "Foundation/NSDictionary.hpp"

#include "Foundation/NSArray.hpp"
#include "Foundation/NSString.hpp"
#include "Foundation/PropertyList.hpp"
#include "Foundation/Storage.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

#include <cstdio>
#include <list>
#include <unordered_map>
#include <vector>

namespace NS {
namespace {

using objc::operator""_sel;

struct Entry {
    id key;
    id value;
    unsigned long hash;
};

// Entries in insertion order, found by their key's hash.
struct Table {
    std::list<Entry> order;
    std::unordered_multimap<unsigned long, std::list<Entry>::iterator> index;
};

Table*& tableOf(id self) { return detail::slot<Table*, "NSDictionary", "_table">(self); }

Table& table(id self) {
    Table*& t = tableOf(self);
    if (t == nullptr) {
        t = new Table();
    }
    return *t;
}

unsigned long hashOf(id key) { return objc::send<unsigned long>(key, "hash"_sel); }

std::list<Entry>::iterator find(Table& t, id key) {
    if (key == nil) {
        return t.order.end();
    }
    auto [first, last] = t.index.equal_range(hashOf(key));
    for (auto it = first; it != last; ++it) {
        id stored = it->second->key;
        if (stored == key || objc::send<bool>(stored, "isEqual:"_sel, key)) {
            return it->second;
        }
    }
    return t.order.end();
}

void unindex(Table& t, std::list<Entry>::iterator entry) {
    auto [first, last] = t.index.equal_range(entry->hash);
    for (auto it = first; it != last; ++it) {
        if (it->second == entry) {
            t.index.erase(it);
            return;
        }
    }
}

// Stores `value` under a copy of `key`, replacing the value of an equal key in its place.
void store(id self, id value, id key) {
    Table& t = table(self);
    auto found = find(t, key);
    id retainedValue = objc::send<id>(value, "retain"_sel);
    if (found != t.order.end()) {
        id old = found->value;
        found->value = retainedValue;
        objc::send(old, "release"_sel);
        return;
    }
    id copiedKey = objc::send<id>(key, "copy"_sel);
    unsigned long h = hashOf(copiedKey);
    t.order.push_back(Entry{copiedKey, retainedValue, h});
    t.index.emplace(h, std::prev(t.order.end()));
}

bool refused(id self, SEL sel, id value, id key) {
    if (key == nil || value == nil) {
        std::fprintf(stderr, "-[%s %s]: %s cannot be nil; nothing was stored\n",
                     class_getName(object_getClass(self)), sel_getName(sel), key == nil ? "key" : "object");
        return true;
    }
    return false;
}

// Copies every entry of any dictionary-like object into self.
void storeAllFrom(id self, id other) {
    if (other == nil) {
        return;
    }
    id keys = objc::send<id>(other, "allKeys"_sel);
    unsigned long n = objc::send<unsigned long>(keys, "count"_sel);
    for (unsigned long k = 0; k < n; ++k) {
        id key = objc::send<id>(keys, "objectAtIndex:"_sel, k);
        store(self, objc::send<id>(other, "objectForKey:"_sel, key), key);
    }
}

void clear(id self) {
    Table* t = tableOf(self);
    if (t == nullptr) {
        return;
    }
    // Release after the table is empty: a value's dealloc may look at this dictionary.
    std::list<Entry> gone;
    gone.swap(t->order);
    t->index.clear();
    for (Entry& e : gone) {
        objc::send(e.key, "release"_sel);
        objc::send(e.value, "release"_sel);
    }
}

id autoreleased(id object) { return objc::send<id>(object, "autorelease"_sel); }
id alloc(Class cls) { return objc::send<id>(cls, "alloc"_sel); }

id initEmpty(id self, SEL) {
    table(self);
    return self;
}
id initWithObjects(id self, SEL sel, const id* values, const id* keys, unsigned long count) {
    table(self);
    for (unsigned long k = 0; k < count; ++k) {
        if (!refused(self, sel, values[k], keys[k])) {
            store(self, values[k], keys[k]);
        }
    }
    return self;
}
id initWithDictionary(id self, SEL, id other) {
    table(self);
    storeAllFrom(self, other);
    return self;
}
id initWithCapacity(id self, SEL, unsigned long capacity) {
    table(self).index.reserve(capacity < 4096 ? capacity : 4096);
    return self;
}
id initWithContentsOfFile(id self, SEL, id path) {
    id root = detail::readPropertyList(objc::send<const char*>(path, "UTF8String"_sel));
    if (!detail::isKind(root, "NSDictionary")) {
        objc::send(root, "release"_sel);
        objc::send(self, "release"_sel);
        return nil;
    }
    table(self);
    storeAllFrom(self, root);
    objc::send(root, "release"_sel);
    return self;
}

id emptyDictionary(Class cls, SEL) { return autoreleased(objc::send<id>(alloc(cls), "init"_sel)); }
id withObjects(Class cls, SEL, const id* values, const id* keys, unsigned long count) {
    return autoreleased(
        objc::send<id>(alloc(cls), "initWithObjects:forKeys:count:"_sel, values, keys, count));
}
id withObjectForKey(Class cls, SEL, id value, id key) {
    return autoreleased(objc::send<id>(alloc(cls), "initWithObjects:forKeys:count:"_sel, &value, &key, 1ul));
}
id withDictionary(Class cls, SEL, id other) {
    return autoreleased(objc::send<id>(alloc(cls), "initWithDictionary:"_sel, other));
}
id withCapacity(Class cls, SEL, unsigned long capacity) {
    return autoreleased(objc::send<id>(alloc(cls), "initWithCapacity:"_sel, capacity));
}
id withContentsOfFile(Class cls, SEL, id path) {
    return autoreleased(objc::send<id>(alloc(cls), "initWithContentsOfFile:"_sel, path));
}

void dealloc(id self, SEL sel) {
    clear(self);
    delete tableOf(self);
    tableOf(self) = nullptr;
    objc::sendSuper(objc_lookUpClass("NSDictionary"), self, sel);
}

unsigned long count(id self, SEL) { return table(self).order.size(); }
id objectForKey(id self, SEL, id key) {
    Table& t = table(self);
    auto found = find(t, key);
    return found == t.order.end() ? nil : found->value;
}

id collect(id self, bool keys) {
    std::vector<id> out;
    for (const Entry& e : table(self).order) {
        out.push_back(keys ? e.key : e.value);
    }
    return objc::send<id>(objc_lookUpClass("NSArray"), "arrayWithObjects:count:"_sel,
                          static_cast<const id*>(out.data()), static_cast<unsigned long>(out.size()));
}
id allKeys(id self, SEL) { return collect(self, true); }
id allValues(id self, SEL) { return collect(self, false); }

bool isEqualToDictionary(id self, SEL, id other) {
    if (other == self) {
        return true;
    }
    if (!detail::isKind(other, "NSDictionary")) {
        return false;
    }
    Table& t = table(self);
    if (objc::send<unsigned long>(other, "count"_sel) != t.order.size()) {
        return false;
    }
    for (const Entry& e : t.order) {
        id theirs = objc::send<id>(other, "objectForKey:"_sel, e.key);
        if (theirs == nil || (theirs != e.value && !objc::send<bool>(e.value, "isEqual:"_sel, theirs))) {
            return false;
        }
    }
    return true;
}
unsigned long hash(id self, SEL) { return table(self).order.size(); }

id copyImmutable(id self, SEL, void*) { return objc::send<id>(self, "retain"_sel); }
id copyOfMutable(id self, SEL, void*) {
    return objc::send<id>(alloc(objc_lookUpClass("NSDictionary")), "initWithDictionary:"_sel, self);
}
id mutableCopy(id self, SEL, void*) {
    return objc::send<id>(alloc(objc_lookUpClass("NSMutableDictionary")), "initWithDictionary:"_sel, self);
}

id description(id self, SEL) {
    return objc::toId(String::string(std::string_view(detail::describe(self, 0))));
}

bool writeToFile(id self, SEL, id path, bool atomically) {
    return detail::writePropertyList(self, objc::send<const char*>(path, "UTF8String"_sel), atomically);
}

void setObjectForKey(id self, SEL sel, id value, id key) {
    if (!refused(self, sel, value, key)) {
        store(self, value, key);
    }
}
void removeObjectForKey(id self, SEL, id key) {
    Table& t = table(self);
    auto found = find(t, key);
    if (found == t.order.end()) {
        return;
    }
    Entry gone = *found;
    unindex(t, found);
    t.order.erase(found);
    objc::send(gone.key, "release"_sel);
    objc::send(gone.value, "release"_sel);
}
// The subscript and key-value forms remove the entry when given nil, as Cocoa's do.
void setObjectOrRemove(id self, SEL, id value, id key) {
    if (key == nil) {
        std::fprintf(stderr, "-[%s setObject:forKeyedSubscript:]: key cannot be nil; nothing was stored\n",
                     class_getName(object_getClass(self)));
        return;
    }
    if (value == nil) {
        objc::send(self, "removeObjectForKey:"_sel, key);
    } else {
        objc::send(self, "setObject:forKey:"_sel, value, key);
    }
}
void addEntries(id self, SEL, id other) {
    if (other != self) {
        storeAllFrom(self, other);
    }
}
void removeAll(id self, SEL) { clear(self); }

GLINTMERE_REGISTER_CLASSES {
    objc::ClassBuilder("NSDictionary", "NSObject")
        .ivar<void*>("_table")
        .classMethod<&emptyDictionary>("dictionary")
        .classMethod<&withObjects>("dictionaryWithObjects:forKeys:count:")
        .classMethod<&withObjectForKey>("dictionaryWithObject:forKey:")
        .classMethod<&withDictionary>("dictionaryWithDictionary:")
        .classMethod<&withContentsOfFile>("dictionaryWithContentsOfFile:")
        .method<&initEmpty>("init")
        .method<&initWithObjects>("initWithObjects:forKeys:count:")
        .method<&initWithDictionary>("initWithDictionary:")
        .method<&initWithContentsOfFile>("initWithContentsOfFile:")
        .method<&dealloc>("dealloc")
        .method<&count>("count")
        .method<&objectForKey>("objectForKey:")
        .method<&objectForKey>("objectForKeyedSubscript:")
        .method<&objectForKey>("valueForKey:")
        .method<&allKeys>("allKeys")
        .method<&allValues>("allValues")
        .method<&isEqualToDictionary>("isEqualToDictionary:")
        .method<&isEqualToDictionary>("isEqual:")
        .method<&hash>("hash")
        .method<&copyImmutable>("copyWithZone:")
        .method<&mutableCopy>("mutableCopyWithZone:")
        .method<&description>("description")
        .method<&writeToFile>("writeToFile:atomically:")
        .build();
}

GLINTMERE_REGISTER_CLASSES {
    objc::ClassBuilder("NSMutableDictionary", "NSDictionary")
        .classMethod<&withCapacity>("dictionaryWithCapacity:")
        .method<&initWithCapacity>("initWithCapacity:")
        .method<&copyOfMutable>("copyWithZone:")
        .method<&setObjectForKey>("setObject:forKey:")
        .method<&setObjectOrRemove>("setObject:forKeyedSubscript:")
        .method<&setObjectOrRemove>("setValue:forKey:")
        .method<&removeObjectForKey>("removeObjectForKey:")
        .method<&addEntries>("addEntriesFromDictionary:")
        .method<&removeAll>("removeAllObjects")
        .build();
}

} // namespace
} // namespace NS
