#include "Foundation/NSArray.hpp"
#include "Foundation/NSArrayInternals.hpp"

#include "Foundation/NSString.hpp"
#include "Foundation/PropertyList.hpp"
#include "Foundation/Storage.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

#include <cstdio>
#include <string>
#include <vector>

namespace NS {
namespace {

std::vector<id>*& itemsOf(const Array* self) {
    return objc::storage<std::vector<id>*>(self, ArrayInternals::_items);
}

std::vector<id>& items(const Array* self) {
    std::vector<id>*& v = itemsOf(self);
    if (v == nullptr) {
        v = new std::vector<id>();
    }
    return *v;
}

Object* object(id o) { return reinterpret_cast<Object*>(o); }
id retained(Object* o) { return objc::toId(o->retain()); }

void refuseNil(Array* self, SEL sel) {
    std::fprintf(stderr, "-[%s %s]: object cannot be nil; nothing was added\n",
                 class_getName(object_getClass(self->self())), sel_getName(sel));
}

[[noreturn]] void outOfRange(Array* self, SEL sel, unsigned long index, std::size_t count) {
    char reason[256];
    if (count == 0) {
        std::snprintf(reason, sizeof reason, "*** -[%s %s]: index %lu beyond bounds for empty array",
                      class_getName(object_getClass(self->self())), sel_getName(sel), index);
    } else {
        std::snprintf(reason, sizeof reason, "*** -[%s %s]: index %lu beyond bounds [0 .. %zu]",
                      class_getName(object_getClass(self->self())), sel_getName(sel), index, count - 1);
    }
    detail::raise("NSRangeException", reason);
}

// Appends the elements of any array.
void appendFrom(Array* self, objc::Ptr<Array> other) {
    const unsigned long n = other->count();
    std::vector<id>& v = items(self);
    v.reserve(v.size() + n);
    for (unsigned long k = 0; k < n; ++k) {
        v.push_back(retained(other->objectAtIndex(k)));
    }
}

void releaseAll(std::vector<id>& gone) {
    for (id o : gone) {
        object(o)->release();
    }
}

Array* array(Class cls) { return Array::alloc_.send(cls)->init()->autorelease(); }

Array* arrayWithObjectsCount(Class cls, Object* const* objects, unsigned long count) {
    return Array::alloc_.send(cls)->initWithObjects(objects, count)->autorelease();
}

Array* arrayWithObject(Class cls, Object* object) {
    return Array::alloc_.send(cls)->initWithObjects(&object, 1UL)->autorelease();
}

Array* arrayWithArray(Class cls, Array* other) {
    return Array::alloc_.send(cls)->initWithArray(other)->autorelease();
}

Array* arrayWithContentsOfFile(Class cls, String* path) {
    return Array::alloc_.send(cls)->initWithContentsOfFile(path)->autorelease();
}

Array* init(Array* self) {
    items(self);
    return self;
}

Array* initWithObjectsCount(Array* self, SEL sel, Object* const* objects, unsigned long count) {
    std::vector<id>& v = items(self);
    for (unsigned long k = 0; k < count; ++k) {
        if (objects[k] == nullptr) {
            refuseNil(self, sel);
            continue;
        }
        v.push_back(retained(objects[k]));
    }
    return self;
}

Array* initWithArray(Array* self, Array* other) {
    items(self);
    appendFrom(self, other);
    return self;
}

Array* initWithContentsOfFile(Array* self, String* path) {
    return detail::initWithContentsOfFile<Array>(self, path, [](Array* a, objc::Ptr<Array> root) {
        items(a);
        appendFrom(a, root);
    });
}

void dealloc(Array* self) {
    if (std::vector<id>* v = itemsOf(self)) {
        releaseAll(*v);
        delete v;
        itemsOf(self) = nullptr;
    }
    Array::dealloc_.super<Array>(self);
}

unsigned long count(Array* self) { return items(self).size(); }

// Also the subscript a[i].
Object* objectAtIndex(Array* self, SEL sel, unsigned long index) {
    std::vector<id>& v = items(self);
    if (index >= v.size()) {
        outOfRange(self, sel, index, v.size());
    }
    return object(v[index]);
}

Object* firstObject(Array* self) { return items(self).empty() ? nullptr : object(items(self).front()); }

Object* lastObject(Array* self) { return items(self).empty() ? nullptr : object(items(self).back()); }

unsigned long indexOfObject(Array* self, Object* wanted) {
    if (wanted == nullptr) {
        return NotFound;
    }
    const std::vector<id>& v = items(self);
    for (std::size_t k = 0; k < v.size(); ++k) {
        if (object(v[k]) == wanted || object(v[k])->isEqual(wanted)) {
            return k;
        }
    }
    return NotFound;
}

unsigned long indexOfObjectIdenticalTo(Array* self, Object* wanted) {
    const std::vector<id>& v = items(self);
    for (std::size_t k = 0; k < v.size(); ++k) {
        if (object(v[k]) == wanted) {
            return k;
        }
    }
    return NotFound;
}

bool containsObject(Array* self, Object* wanted) { return self->indexOfObject(wanted) != NotFound; }

bool isEqualToArray(Array* self, Array* other) { return self->isEqual(other); }

bool isEqual(Array* self, const Object* candidate) {
    if (candidate == self) {
        return true;
    }
    auto other = cast<Array>(candidate);
    if (other == nullptr) {
        return false;
    }
    const std::vector<id>& v = items(self);
    if (other->count() != v.size()) {
        return false;
    }
    for (std::size_t k = 0; k < v.size(); ++k) {
        auto theirs = other->objectAtIndex(k);
        if (object(v[k]) != theirs && !object(v[k])->isEqual(theirs)) {
            return false;
        }
    }
    return true;
}

unsigned long hash(Array* self) { return items(self).size(); }

Object* copyWithZone(Array* self, void*) { return self->retain(); }

Object* mutableCopyWithZone(Array* self, void*) { return MutableArray::alloc()->initWithArray(self); }

Array* arrayByAddingObject(Array* self, SEL sel, Object* added) {
    auto result = Array::alloc()->initWithArray(self);
    if (added == nullptr) {
        refuseNil(self, sel);
    } else {
        items(result).push_back(retained(added));
    }
    return result->autorelease();
}

String* componentsJoinedByString(Array* self, String* separator) {
    const char* sep = separator == nullptr ? "" : separator->utf8String();
    std::string out;
    const std::vector<id>& v = items(self);
    for (std::size_t k = 0; k < v.size(); ++k) {
        if (k > 0) {
            out += sep;
        }
        const char* utf8 = object(v[k])->description()->utf8String();
        out += utf8 != nullptr ? utf8 : "";
    }
    return String::string(std::string_view(out));
}

String* description(Array* self) {
    return String::string(std::string_view(detail::describe(self->self(), 0)));
}

bool writeToFileAtomically(Array* self, String* path, bool atomically) {
    return detail::writePropertyList(self->self(), objc::Ptr(path)->utf8String(), atomically);
}

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<Array>()
        .ivar(ArrayInternals::_items)
        .method<&array>(Array::array_)
        .method<&arrayWithObjectsCount>(Array::arrayWithObjectsCount_)
        .method<&arrayWithObject>(Array::arrayWithObject_)
        .method<&arrayWithArray>(Array::arrayWithArray_)
        .method<&arrayWithContentsOfFile>(Array::arrayWithContentsOfFile_)
        .method<&init>(Array::init_)
        .method<&initWithObjectsCount>(Array::initWithObjectsCount_)
        .method<&initWithArray>(Array::initWithArray_)
        .method<&initWithContentsOfFile>(Array::initWithContentsOfFile_)
        .method<&dealloc>(Array::dealloc_)
        .method<&count>(Array::count_)
        .method<&objectAtIndex>(Array::objectAtIndex_)
        .method<&objectAtIndex>(Array::objectAtIndexedSubscript_)
        .method<&firstObject>(Array::firstObject_)
        .method<&lastObject>(Array::lastObject_)
        .method<&indexOfObject>(Array::indexOfObject_)
        .method<&indexOfObjectIdenticalTo>(Array::indexOfObjectIdenticalTo_)
        .method<&containsObject>(Array::containsObject_)
        .method<&isEqualToArray>(Array::isEqualToArray_)
        .method<&isEqual>(Object::isEqual_)
        .method<&hash>(Object::hash_)
        .method<&copyWithZone>(Object::copyWithZone_)
        .method<&mutableCopyWithZone>(Object::mutableCopyWithZone_)
        .method<&arrayByAddingObject>(Array::arrayByAddingObject_)
        .method<&componentsJoinedByString>(Array::componentsJoinedByString_)
        .method<&description>(Object::description_)
        .method<&writeToFileAtomically>(Array::writeToFileAtomically_)
        .build();
}

MutableArray* arrayWithCapacity(Class cls, unsigned long capacity) {
    return MutableArray::alloc_.send(cls)->initWithCapacity(capacity)->autorelease();
}

MutableArray* initWithCapacity(MutableArray* self, unsigned long capacity) {
    items(self).reserve(capacity < 4096 ? capacity : 4096);
    return self;
}

// A copy of a mutable array is an immutable one, as in Cocoa.
Object* immutableCopy(MutableArray* self, void*) { return Array::alloc()->initWithArray(self); }

void addObject(MutableArray* self, SEL sel, Object* added) {
    if (added == nullptr) {
        refuseNil(self, sel);
        return;
    }
    items(self).push_back(retained(added));
}

void insertObjectAtIndex(MutableArray* self, SEL sel, Object* added, unsigned long index) {
    std::vector<id>& v = items(self);
    if (index > v.size()) {
        outOfRange(self, sel, index, v.size() + 1);
    }
    if (added == nullptr) {
        refuseNil(self, sel);
        return;
    }
    v.insert(v.begin() + static_cast<std::ptrdiff_t>(index), retained(added));
}

void removeObjectAtIndex(MutableArray* self, SEL sel, unsigned long index) {
    std::vector<id>& v = items(self);
    if (index >= v.size()) {
        outOfRange(self, sel, index, v.size());
    }
    id gone = v[index];
    v.erase(v.begin() + static_cast<std::ptrdiff_t>(index));
    object(gone)->release();
}

void removeLastObject(MutableArray* self) {
    std::vector<id>& v = items(self);
    if (!v.empty()) {
        id gone = v.back();
        v.pop_back();
        object(gone)->release();
    }
}

void removeObject(MutableArray* self, Object* unwanted) {
    if (unwanted == nullptr) {
        return;
    }
    // Take the matches out first: releasing one may run code that looks at this array.
    std::vector<id> gone;
    std::vector<id> kept;
    std::vector<id>& v = items(self);
    for (id o : v) {
        (object(o) == unwanted || object(o)->isEqual(unwanted) ? gone : kept).push_back(o);
    }
    v.swap(kept);
    releaseAll(gone);
}

void removeAllObjects(MutableArray* self) {
    std::vector<id> gone;
    gone.swap(items(self));
    releaseAll(gone);
}

void replaceObjectAtIndexWithObject(MutableArray* self, SEL sel, unsigned long index, Object* replacement) {
    std::vector<id>& v = items(self);
    if (index >= v.size()) {
        outOfRange(self, sel, index, v.size());
    }
    if (replacement == nullptr) {
        std::fprintf(stderr, "-[%s %s]: object cannot be nil; nothing was replaced\n",
                     class_getName(object_getClass(self->self())), sel_getName(sel));
        return;
    }
    id old = v[index];
    v[index] = retained(replacement);
    object(old)->release();
}

void addObjectsFromArray(MutableArray* self, Array* other) {
    if (other == self) {
        std::vector<id> same = items(self);
        for (id o : same) {
            items(self).push_back(retained(object(o)));
        }
        return;
    }
    appendFrom(self, other);
}

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<MutableArray>()
        .method<&arrayWithCapacity>(MutableArray::arrayWithCapacity_)
        .method<&initWithCapacity>(MutableArray::initWithCapacity_)
        .method<&immutableCopy>(Object::copyWithZone_)
        .method<&addObject>(MutableArray::addObject_)
        .method<&insertObjectAtIndex>(MutableArray::insertObjectAtIndex_)
        .method<&removeObjectAtIndex>(MutableArray::removeObjectAtIndex_)
        .method<&removeLastObject>(MutableArray::removeLastObject_)
        .method<&removeObject>(MutableArray::removeObject_)
        .method<&removeAllObjects>(MutableArray::removeAllObjects_)
        .method<&replaceObjectAtIndexWithObject>(MutableArray::replaceObjectAtIndexWithObject_)
        .method<&addObjectsFromArray>(MutableArray::addObjectsFromArray_)
        .build();
}

} // namespace
} // namespace NS
