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
#include <utility>
#include <vector>

namespace NS {
namespace {

struct Entry {
    id key;
    id value;
    unsigned long hash;
};

// Entries in insertion order, found by their key's hash: by a look at each while there are few (most
// dictionaries, such as a preferences file's), through an index once there are more.
struct Table {
    std::list<Entry> order;
    std::unordered_multimap<unsigned long, std::list<Entry>::iterator> index; // past `fewEntries` only
};

constexpr std::size_t fewEntries = 8;

bool indexed(const Table& t) { return t.order.size() > fewEntries; }

Object* object(id o) { return reinterpret_cast<Object*>(o); }

Table*& tableOf(const Dictionary* self) {
    return detail::slot<Table*, "NSDictionary", "_table">(objc::toId(self));
}

Table& table(const Dictionary* self) {
    Table*& t = tableOf(self);
    if (t == nullptr) {
        t = new Table();
    }
    return *t;
}

bool sameKey(const Entry& e, const Object* key, unsigned long hash) {
    Object* stored = object(e.key);
    return e.hash == hash && (stored == key || stored->isEqual(key));
}

std::list<Entry>::iterator find(Table& t, const Object* key, unsigned long hash) {
    if (!indexed(t)) {
        for (auto it = t.order.begin(); it != t.order.end(); ++it) {
            if (sameKey(*it, key, hash)) {
                return it;
            }
        }
        return t.order.end();
    }
    auto [first, last] = t.index.equal_range(hash);
    for (auto it = first; it != last; ++it) {
        if (sameKey(*it->second, key, hash)) {
            return it->second;
        }
    }
    return t.order.end();
}

std::list<Entry>::iterator find(Table& t, const Object* key) {
    return key != nullptr ? find(t, key, key->hash()) : t.order.end();
}

// Takes `entry` out of the table; the index goes when few entries are left.
void erase(Table& t, std::list<Entry>::iterator entry) {
    if (indexed(t)) {
        auto [first, last] = t.index.equal_range(entry->hash);
        for (auto it = first; it != last; ++it) {
            if (it->second == entry) {
                t.index.erase(it);
                break;
            }
        }
    }
    t.order.erase(entry);
    if (!indexed(t)) {
        t.index.clear();
    }
}

// Stores `value` (not nil) under a copy of `key` (not nil), whose hash is `hash`, replacing the value
// of an equal key in its place. The copy is equal to the key, so it hashes the same.
void store(Dictionary* self, Object* value, Object* key, unsigned long hash) {
    Table& t = table(self);
    auto found = find(t, key, hash);
    id retainedValue = objc::toId(value->retain());
    if (found != t.order.end()) {
        id old = found->value;
        found->value = retainedValue;
        object(old)->release();
        return;
    }
    auto copiedKey = key->copy();
    t.order.push_back(Entry{objc::toId(copiedKey), retainedValue, hash});
    if (t.order.size() == fewEntries + 1) {
        for (auto it = t.order.begin(); it != t.order.end(); ++it) {
            t.index.emplace(it->hash, it);
        }
    } else if (indexed(t)) {
        t.index.emplace(hash, std::prev(t.order.end()));
    }
}

bool refused(Dictionary* self, SEL sel, const Object* value, const Object* key) {
    if (key == nullptr || value == nullptr) {
        std::fprintf(stderr, "-[%s %s]: %s cannot be nil; nothing was stored\n",
                     class_getName(object_getClass(self->self())), sel_getName(sel),
                     key == nullptr ? "key" : "object");
        return true;
    }
    return false;
}

void store(Dictionary* self, Object* value, Object* key) { store(self, value, key, key->hash()); }

// Copies every entry of another dictionary into self, in its order, with the hashes it keeps.
void storeAllFrom(Dictionary* self, objc::Ptr<Dictionary> other) {
    if (other == nullptr) {
        return;
    }
    for (const Entry& e : table(other).order) {
        store(self, object(e.value), object(e.key), e.hash);
    }
}

void clear(Dictionary* self) {
    Table* t = tableOf(self);
    if (t == nullptr) {
        return;
    }
    // Release after the table is empty: a value's dealloc may look at this dictionary.
    std::list<Entry> gone;
    gone.swap(t->order);
    t->index.clear();
    for (Entry& e : gone) {
        object(e.key)->release();
        object(e.value)->release();
    }
}

objc::Ptr<Array> collect(Dictionary* self, bool keys) {
    std::vector<Object*> out;
    for (const Entry& e : table(self).order) {
        out.push_back(object(keys ? e.key : e.value));
    }
    return Array::arrayWithObjectsCount_.send(Array::runtimeClass(), out.data(),
                                              static_cast<unsigned long>(out.size()));
}

GLINTMERE_REGISTER_CLASSES {
    auto objectForKey = [](Dictionary* self, const Object* key) -> Object* {
        Table& t = table(self);
        auto found = find(t, key);
        return found == t.order.end() ? nullptr : object(found->value);
    };
    objc::ClassDefinition<Dictionary>()
        .ivar<void*>("_table")
        .method(Dictionary::dictionary_,
                [](Class cls) -> Dictionary* { return Dictionary::alloc_.send(cls)->init()->autorelease(); })
        .method(
            Dictionary::dictionaryWithObjectsForKeysCount_,
            [](Class cls, Object* const* values, Object* const* keys, unsigned long count) -> Dictionary* {
                return Dictionary::alloc_.send(cls)->initWithObjects(values, keys, count)->autorelease();
            })
        .method(Dictionary::dictionaryWithObjectForKey_,
                [](Class cls, Object* value, Object* key) -> Dictionary* {
                    return Dictionary::alloc_.send(cls)->initWithObjects(&value, &key, 1UL)->autorelease();
                })
        .method(Dictionary::dictionaryWithDictionary_,
                [](Class cls, Dictionary* other) -> Dictionary* {
                    return Dictionary::alloc_.send(cls)->initWithDictionary(other)->autorelease();
                })
        .method(Dictionary::dictionaryWithContentsOfFile_,
                [](Class cls, String* path) -> Dictionary* {
                    return Dictionary::alloc_.send(cls)->initWithContentsOfFile(path)->autorelease();
                })
        .method(Dictionary::init_,
                [](Dictionary* self) -> Dictionary* {
                    table(self);
                    return self;
                })
        .method(Dictionary::initWithObjectsForKeysCount_,
                [](Dictionary* self, SEL sel, Object* const* values, Object* const* keys,
                   unsigned long count) -> Dictionary* {
                    table(self);
                    for (unsigned long k = 0; k < count; ++k) {
                        if (!refused(self, sel, values[k], keys[k])) {
                            store(self, values[k], keys[k]);
                        }
                    }
                    return self;
                })
        .method(Dictionary::initWithDictionary_,
                [](Dictionary* self, Dictionary* other) -> Dictionary* {
                    table(self);
                    storeAllFrom(self, other);
                    return self;
                })
        .method(Dictionary::initWithContentsOfFile_,
                [](Dictionary* self, String* path) -> Dictionary* {
                    return detail::initWithContentsOfFile<Dictionary>(
                        self, path, [](Dictionary* d, objc::Ptr<Dictionary> root) {
                            // The dictionary read is ours alone: its entries move over instead
                            // of being copied one by one.
                            if (root->retainCount() == 1 && tableOf(d) == nullptr) {
                                tableOf(d) = std::exchange(tableOf(root), nullptr);
                                return;
                            }
                            table(d);
                            storeAllFrom(d, root);
                        });
                })
        .method(Object::dealloc_,
                [](Dictionary* self) {
                    clear(self);
                    delete tableOf(self);
                    tableOf(self) = nullptr;
                    Object::dealloc_.super<Dictionary>(self);
                })
        .method(Dictionary::count_,
                [](Dictionary* self) -> unsigned long { return table(self).order.size(); })
        .method(Dictionary::objectForKey_, objectForKey)
        .method(Dictionary::objectForKeyedSubscript_, objectForKey)
        .method(Dictionary::valueForKey_, objectForKey)
        .method(Dictionary::allKeys_, [](Dictionary* self) -> Array* { return collect(self, true); })
        .method(Dictionary::allValues_, [](Dictionary* self) -> Array* { return collect(self, false); })
        .method(Dictionary::isEqualToDictionary_,
                [](Dictionary* self, Dictionary* other) -> bool { return self->isEqual(other); })
        .method(Object::isEqual_,
                [](Dictionary* self, const Object* candidate) -> bool {
                    if (candidate == self) {
                        return true;
                    }
                    auto other = cast<Dictionary>(candidate);
                    if (other == nullptr) {
                        return false;
                    }
                    Table& t = table(self);
                    if (other->count() != t.order.size()) {
                        return false;
                    }
                    for (const Entry& e : t.order) {
                        auto theirs = other->objectForKey(object(e.key));
                        if (theirs == nullptr ||
                            (theirs != object(e.value) && !object(e.value)->isEqual(theirs))) {
                            return false;
                        }
                    }
                    return true;
                })
        .method(Object::hash_, [](Dictionary* self) -> unsigned long { return table(self).order.size(); })
        .method(Object::copyWithZone_, [](Dictionary* self, void*) -> Object* { return self->retain(); })
        .method(Object::mutableCopyWithZone_,
                [](Dictionary* self, void*) -> Object* {
                    return MutableDictionary::alloc()->initWithDictionary(self);
                })
        .method(Object::description_,
                [](Dictionary* self) -> String* {
                    return String::string(std::string_view(detail::describe(self->self(), 0)));
                })
        .method(Dictionary::writeToFileAtomically_,
                [](Dictionary* self, String* path, bool atomically) -> bool {
                    return detail::writePropertyList(self->self(), objc::Ptr(path)->utf8String(), atomically);
                })
        .build();
}

GLINTMERE_REGISTER_CLASSES {
    // The subscript and key-value forms remove the entry when given nil, as Cocoa's do.
    auto setObjectOrRemove = [](MutableDictionary* self, Object* value, Object* key) {
        if (key == nullptr) {
            std::fprintf(stderr,
                         "-[%s setObject:forKeyedSubscript:]: key cannot be nil; nothing was stored\n",
                         class_getName(object_getClass(self->self())));
            return;
        }
        if (value == nullptr) {
            self->removeObjectForKey(key);
        } else {
            self->setObjectForKey(value, key);
        }
    };
    objc::ClassDefinition<MutableDictionary>()
        .method(MutableDictionary::dictionaryWithCapacity_,
                [](Class cls, unsigned long capacity) -> MutableDictionary* {
                    return MutableDictionary::alloc_.send(cls)->initWithCapacity(capacity)->autorelease();
                })
        .method(MutableDictionary::initWithCapacity_,
                [](MutableDictionary* self, unsigned long capacity) -> MutableDictionary* {
                    if (capacity > fewEntries) {
                        table(self).index.reserve(capacity < 4096 ? capacity : 4096);
                    }
                    return self;
                })
        .method(Object::copyWithZone_,
                [](MutableDictionary* self, void*) -> Object* {
                    return Dictionary::alloc()->initWithDictionary(self);
                })
        .method(MutableDictionary::setObjectForKey_,
                [](MutableDictionary* self, SEL sel, Object* value, Object* key) {
                    if (!refused(self, sel, value, key)) {
                        store(self, value, key);
                    }
                })
        .method(MutableDictionary::setObjectForKeyedSubscript_, setObjectOrRemove)
        .method(MutableDictionary::setValueForKey_, setObjectOrRemove)
        .method(MutableDictionary::removeObjectForKey_,
                [](MutableDictionary* self, Object* key) {
                    Table& t = table(self);
                    auto found = find(t, key);
                    if (found == t.order.end()) {
                        return;
                    }
                    Entry gone = *found;
                    erase(t, found);
                    object(gone.key)->release();
                    object(gone.value)->release();
                })
        .method(MutableDictionary::addEntriesFromDictionary_,
                [](MutableDictionary* self, Dictionary* other) {
                    if (other != self) {
                        storeAllFrom(self, other);
                    }
                })
        .method(MutableDictionary::removeAllObjects_, [](MutableDictionary* self) { clear(self); })
        .build();
}

} // namespace

std::vector<std::pair<Object*, Object*>> detail::entriesOf(const Dictionary* dictionary) {
    std::vector<std::pair<Object*, Object*>> entries;
    if (dictionary == nullptr) {
        return entries;
    }
    const Table& t = table(dictionary);
    entries.reserve(t.order.size());
    for (const Entry& e : t.order) {
        entries.emplace_back(object(e.key), object(e.value));
    }
    return entries;
}

} // namespace NS
