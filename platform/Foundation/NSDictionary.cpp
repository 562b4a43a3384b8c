#include "Foundation/NSDictionary.hpp"
#include "Foundation/NSDictionaryInternals.hpp"

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

Table*& tableOf(const Dictionary* self) { return objc::storage<Table*>(self, DictionaryInternals::_table); }

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

Dictionary* dictionary(Class cls) { return Dictionary::alloc_.send(cls)->init()->autorelease(); }

Dictionary* dictionaryWithObjectsForKeysCount(Class cls, Object* const* values, Object* const* keys,
                                              unsigned long count) {
    return Dictionary::alloc_.send(cls)->initWithObjects(values, keys, count)->autorelease();
}

Dictionary* dictionaryWithObjectForKey(Class cls, Object* value, Object* key) {
    return Dictionary::alloc_.send(cls)->initWithObjects(&value, &key, 1UL)->autorelease();
}

Dictionary* dictionaryWithDictionary(Class cls, Dictionary* other) {
    return Dictionary::alloc_.send(cls)->initWithDictionary(other)->autorelease();
}

Dictionary* dictionaryWithContentsOfFile(Class cls, String* path) {
    return Dictionary::alloc_.send(cls)->initWithContentsOfFile(path)->autorelease();
}

Dictionary* init(Dictionary* self) {
    table(self);
    return self;
}

Dictionary* initWithObjectsForKeysCount(Dictionary* self, SEL sel, Object* const* values, Object* const* keys,
                                        unsigned long count) {
    table(self);
    for (unsigned long k = 0; k < count; ++k) {
        if (!refused(self, sel, values[k], keys[k])) {
            store(self, values[k], keys[k]);
        }
    }
    return self;
}

Dictionary* initWithDictionary(Dictionary* self, Dictionary* other) {
    table(self);
    storeAllFrom(self, other);
    return self;
}

Dictionary* initWithContentsOfFile(Dictionary* self, String* path) {
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
}

void dealloc(Dictionary* self) {
    clear(self);
    delete tableOf(self);
    tableOf(self) = nullptr;
    Object::dealloc_.super<Dictionary>(self);
}

unsigned long count(Dictionary* self) { return table(self).order.size(); }

// Also the subscript d[key] and the key-value form.
Object* objectForKey(Dictionary* self, const Object* key) {
    Table& t = table(self);
    auto found = find(t, key);
    return found == t.order.end() ? nullptr : object(found->value);
}

Array* allKeys(Dictionary* self) { return collect(self, true); }

Array* allValues(Dictionary* self) { return collect(self, false); }

bool isEqualToDictionary(Dictionary* self, Dictionary* other) { return self->isEqual(other); }

bool isEqual(Dictionary* self, const Object* candidate) {
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
        if (theirs == nullptr || (theirs != object(e.value) && !object(e.value)->isEqual(theirs))) {
            return false;
        }
    }
    return true;
}

unsigned long hash(Dictionary* self) { return table(self).order.size(); }

Object* copyWithZone(Dictionary* self, void*) { return self->retain(); }

Object* mutableCopyWithZone(Dictionary* self, void*) {
    return MutableDictionary::alloc()->initWithDictionary(self);
}

String* description(Dictionary* self) {
    return String::string(std::string_view(detail::describe(self->self(), 0)));
}

bool writeToFileAtomically(Dictionary* self, String* path, bool atomically) {
    return detail::writePropertyList(self->self(), objc::Ptr(path)->utf8String(), atomically);
}

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<Dictionary>()
        .ivar(DictionaryInternals::_table)
        .method<&dictionary>(Dictionary::dictionary_)
        .method<&dictionaryWithObjectsForKeysCount>(Dictionary::dictionaryWithObjectsForKeysCount_)
        .method<&dictionaryWithObjectForKey>(Dictionary::dictionaryWithObjectForKey_)
        .method<&dictionaryWithDictionary>(Dictionary::dictionaryWithDictionary_)
        .method<&dictionaryWithContentsOfFile>(Dictionary::dictionaryWithContentsOfFile_)
        .method<&init>(Dictionary::init_)
        .method<&initWithObjectsForKeysCount>(Dictionary::initWithObjectsForKeysCount_)
        .method<&initWithDictionary>(Dictionary::initWithDictionary_)
        .method<&initWithContentsOfFile>(Dictionary::initWithContentsOfFile_)
        .method<&dealloc>(Object::dealloc_)
        .method<&count>(Dictionary::count_)
        .method<&objectForKey>(Dictionary::objectForKey_)
        .method<&objectForKey>(Dictionary::objectForKeyedSubscript_)
        .method<&objectForKey>(Dictionary::valueForKey_)
        .method<&allKeys>(Dictionary::allKeys_)
        .method<&allValues>(Dictionary::allValues_)
        .method<&isEqualToDictionary>(Dictionary::isEqualToDictionary_)
        .method<&isEqual>(Object::isEqual_)
        .method<&hash>(Object::hash_)
        .method<&copyWithZone>(Object::copyWithZone_)
        .method<&mutableCopyWithZone>(Object::mutableCopyWithZone_)
        .method<&description>(Object::description_)
        .method<&writeToFileAtomically>(Dictionary::writeToFileAtomically_)
        .build();
}

MutableDictionary* dictionaryWithCapacity(Class cls, unsigned long capacity) {
    return MutableDictionary::alloc_.send(cls)->initWithCapacity(capacity)->autorelease();
}

MutableDictionary* initWithCapacity(MutableDictionary* self, unsigned long capacity) {
    if (capacity > fewEntries) {
        table(self).index.reserve(capacity < 4096 ? capacity : 4096);
    }
    return self;
}

// A copy of a mutable dictionary is an immutable one, as in Cocoa.
Object* immutableCopy(MutableDictionary* self, void*) {
    return Dictionary::alloc()->initWithDictionary(self);
}

void setObjectForKey(MutableDictionary* self, SEL sel, Object* value, Object* key) {
    if (!refused(self, sel, value, key)) {
        store(self, value, key);
    }
}

void removeObjectForKey(MutableDictionary* self, Object* key) {
    Table& t = table(self);
    auto found = find(t, key);
    if (found == t.order.end()) {
        return;
    }
    Entry gone = *found;
    erase(t, found);
    object(gone.key)->release();
    object(gone.value)->release();
}

void addEntriesFromDictionary(MutableDictionary* self, Dictionary* other) {
    if (other != self) {
        storeAllFrom(self, other);
    }
}

// The subscript and key-value forms remove the entry when given nil, as Cocoa's do.
void setObjectOrRemove(MutableDictionary* self, Object* value, Object* key) {
    if (key == nullptr) {
        std::fprintf(stderr, "-[%s setObject:forKeyedSubscript:]: key cannot be nil; nothing was stored\n",
                     class_getName(object_getClass(self->self())));
        return;
    }
    if (value == nullptr) {
        self->removeObjectForKey(key);
    } else {
        self->setObjectForKey(value, key);
    }
}

void removeAllObjects(MutableDictionary* self) { clear(self); }

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<MutableDictionary>()
        .method<&dictionaryWithCapacity>(MutableDictionary::dictionaryWithCapacity_)
        .method<&initWithCapacity>(MutableDictionary::initWithCapacity_)
        .method<&immutableCopy>(Object::copyWithZone_)
        .method<&setObjectForKey>(MutableDictionary::setObjectForKey_)
        .method<&setObjectOrRemove>(MutableDictionary::setObjectForKeyedSubscript_)
        .method<&setObjectOrRemove>(MutableDictionary::setValueForKey_)
        .method<&removeObjectForKey>(MutableDictionary::removeObjectForKey_)
        .method<&addEntriesFromDictionary>(MutableDictionary::addEntriesFromDictionary_)
        .method<&removeAllObjects>(MutableDictionary::removeAllObjects_)
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
