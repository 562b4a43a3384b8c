#include "Foundation/NSArray.hpp"

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
    return detail::slot<std::vector<id>*, "NSArray", "_items">(objc::toId(self));
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

GLINTMERE_REGISTER_CLASSES {
    auto objectAt = [](Array* self, SEL sel, unsigned long index) -> Object* {
        std::vector<id>& v = items(self);
        if (index >= v.size()) {
            outOfRange(self, sel, index, v.size());
        }
        return object(v[index]);
    };
    objc::ClassDefinition<Array>()
        .ivar<void*>("_items")
        .method(Array::array_,
                [](Class cls) -> Array* { return Array::alloc_.send(cls)->init()->autorelease(); })
        .method(Array::arrayWithObjectsCount_,
                [](Class cls, Object* const* objects, unsigned long count) -> Array* {
                    return Array::alloc_.send(cls)->initWithObjects(objects, count)->autorelease();
                })
        .method(Array::arrayWithObject_,
                [](Class cls, Object* object) -> Array* {
                    return Array::alloc_.send(cls)->initWithObjects(&object, 1UL)->autorelease();
                })
        .method(Array::arrayWithArray_,
                [](Class cls, Array* other) -> Array* {
                    return Array::alloc_.send(cls)->initWithArray(other)->autorelease();
                })
        .method(Array::arrayWithContentsOfFile_,
                [](Class cls, String* path) -> Array* {
                    return Array::alloc_.send(cls)->initWithContentsOfFile(path)->autorelease();
                })
        .method(Array::init_,
                [](Array* self) -> Array* {
                    items(self);
                    return self;
                })
        .method(Array::initWithObjectsCount_,
                [](Array* self, SEL sel, Object* const* objects, unsigned long count) -> Array* {
                    std::vector<id>& v = items(self);
                    for (unsigned long k = 0; k < count; ++k) {
                        if (objects[k] == nullptr) {
                            refuseNil(self, sel);
                            continue;
                        }
                        v.push_back(retained(objects[k]));
                    }
                    return self;
                })
        .method(Array::initWithArray_,
                [](Array* self, Array* other) -> Array* {
                    items(self);
                    appendFrom(self, other);
                    return self;
                })
        .method(Array::initWithContentsOfFile_,
                [](Array* self, String* path) -> Array* {
                    return detail::initWithContentsOfFile<Array>(self, path,
                                                                 [](Array* a, objc::Ptr<Array> root) {
                                                                     items(a);
                                                                     appendFrom(a, root);
                                                                 });
                })
        .method(Array::dealloc_,
                [](Array* self) {
                    if (std::vector<id>* v = itemsOf(self)) {
                        releaseAll(*v);
                        delete v;
                        itemsOf(self) = nullptr;
                    }
                    Array::dealloc_.super<Array>(self);
                })
        .method(Array::count_, [](Array* self) -> unsigned long { return items(self).size(); })
        .method(Array::objectAtIndex_, objectAt)
        .method(Array::objectAtIndexedSubscript_, objectAt)
        .method(Array::firstObject_,
                [](Array* self) -> Object* {
                    return items(self).empty() ? nullptr : object(items(self).front());
                })
        .method(
            Array::lastObject_,
            [](Array* self) -> Object* { return items(self).empty() ? nullptr : object(items(self).back()); })
        .method(Array::indexOfObject_,
                [](Array* self, Object* wanted) -> unsigned long {
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
                })
        .method(Array::indexOfObjectIdenticalTo_,
                [](Array* self, Object* wanted) -> unsigned long {
                    const std::vector<id>& v = items(self);
                    for (std::size_t k = 0; k < v.size(); ++k) {
                        if (object(v[k]) == wanted) {
                            return k;
                        }
                    }
                    return NotFound;
                })
        .method(Array::containsObject_,
                [](Array* self, Object* wanted) -> bool { return self->indexOfObject(wanted) != NotFound; })
        .method(Array::isEqualToArray_,
                [](Array* self, Array* other) -> bool { return self->isEqual(other); })
        .method(Object::isEqual_,
                [](Array* self, const Object* candidate) -> bool {
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
                })
        .method(Object::hash_, [](Array* self) -> unsigned long { return items(self).size(); })
        .method(Object::copyWithZone_, [](Array* self, void*) -> Object* { return self->retain(); })
        .method(Object::mutableCopyWithZone_,
                [](Array* self, void*) -> Object* { return MutableArray::alloc()->initWithArray(self); })
        .method(Array::arrayByAddingObject_,
                [](Array* self, SEL sel, Object* added) -> Array* {
                    auto result = Array::alloc()->initWithArray(self);
                    if (added == nullptr) {
                        refuseNil(self, sel);
                    } else {
                        items(result).push_back(retained(added));
                    }
                    return result->autorelease();
                })
        .method(Array::componentsJoinedByString_,
                [](Array* self, String* separator) -> String* {
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
                })
        .method(Object::description_,
                [](Array* self) -> String* {
                    return String::string(std::string_view(detail::describe(self->self(), 0)));
                })
        .method(Array::writeToFileAtomically_,
                [](Array* self, String* path, bool atomically) -> bool {
                    return detail::writePropertyList(self->self(), objc::Ptr(path)->utf8String(), atomically);
                })
        .build();
}

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<MutableArray>()
        .method(MutableArray::arrayWithCapacity_,
                [](Class cls, unsigned long capacity) -> MutableArray* {
                    return MutableArray::alloc_.send(cls)->initWithCapacity(capacity)->autorelease();
                })
        .method(MutableArray::initWithCapacity_,
                [](MutableArray* self, unsigned long capacity) -> MutableArray* {
                    items(self).reserve(capacity < 4096 ? capacity : 4096);
                    return self;
                })
        .method(Object::copyWithZone_,
                [](MutableArray* self, void*) -> Object* { return Array::alloc()->initWithArray(self); })
        .method(MutableArray::addObject_,
                [](MutableArray* self, SEL sel, Object* added) {
                    if (added == nullptr) {
                        refuseNil(self, sel);
                        return;
                    }
                    items(self).push_back(retained(added));
                })
        .method(MutableArray::insertObjectAtIndex_,
                [](MutableArray* self, SEL sel, Object* added, unsigned long index) {
                    std::vector<id>& v = items(self);
                    if (index > v.size()) {
                        outOfRange(self, sel, index, v.size() + 1);
                    }
                    if (added == nullptr) {
                        refuseNil(self, sel);
                        return;
                    }
                    v.insert(v.begin() + static_cast<std::ptrdiff_t>(index), retained(added));
                })
        .method(MutableArray::removeObjectAtIndex_,
                [](MutableArray* self, SEL sel, unsigned long index) {
                    std::vector<id>& v = items(self);
                    if (index >= v.size()) {
                        outOfRange(self, sel, index, v.size());
                    }
                    id gone = v[index];
                    v.erase(v.begin() + static_cast<std::ptrdiff_t>(index));
                    object(gone)->release();
                })
        .method(MutableArray::removeLastObject_,
                [](MutableArray* self) {
                    std::vector<id>& v = items(self);
                    if (!v.empty()) {
                        id gone = v.back();
                        v.pop_back();
                        object(gone)->release();
                    }
                })
        .method(MutableArray::removeObject_,
                [](MutableArray* self, Object* unwanted) {
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
                })
        .method(MutableArray::removeAllObjects_,
                [](MutableArray* self) {
                    std::vector<id> gone;
                    gone.swap(items(self));
                    releaseAll(gone);
                })
        .method(MutableArray::replaceObjectAtIndexWithObject_,
                [](MutableArray* self, SEL sel, unsigned long index, Object* replacement) {
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
                })
        .method(MutableArray::addObjectsFromArray_,
                [](MutableArray* self, Array* other) {
                    if (other == self) {
                        std::vector<id> same = items(self);
                        for (id o : same) {
                            items(self).push_back(retained(object(o)));
                        }
                        return;
                    }
                    appendFrom(self, other);
                })
        .build();
}

} // namespace
} // namespace NS
