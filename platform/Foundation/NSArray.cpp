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

using objc::operator""_sel;

std::vector<id>*& itemsOf(id self) { return detail::slot<std::vector<id>*, "NSArray", "_items">(self); }

std::vector<id>& items(id self) {
    std::vector<id>*& v = itemsOf(self);
    if (v == nullptr) {
        v = new std::vector<id>();
    }
    return *v;
}

void refuseNil(id self, SEL sel) {
    std::fprintf(stderr, "-[%s %s]: object cannot be nil; nothing was added\n",
                 class_getName(object_getClass(self)), sel_getName(sel));
}

[[noreturn]] void outOfRange(id self, SEL sel, unsigned long index, std::size_t count) {
    char reason[256];
    if (count == 0) {
        std::snprintf(reason, sizeof reason, "*** -[%s %s]: index %lu beyond bounds for empty array",
                      class_getName(object_getClass(self)), sel_getName(sel), index);
    } else {
        std::snprintf(reason, sizeof reason, "*** -[%s %s]: index %lu beyond bounds [0 .. %zu]",
                      class_getName(object_getClass(self)), sel_getName(sel), index, count - 1);
    }
    detail::raise("NSRangeException", reason);
}

id retained(id object) { return objc::send<id>(object, "retain"_sel); }
id autoreleased(id object) { return objc::send<id>(object, "autorelease"_sel); }

// Appends the elements of any array-like object.
void appendFrom(id self, id other) {
    unsigned long n = objc::send<unsigned long>(other, "count"_sel);
    std::vector<id>& v = items(self);
    v.reserve(v.size() + n);
    for (unsigned long k = 0; k < n; ++k) {
        v.push_back(retained(objc::send<id>(other, "objectAtIndex:"_sel, k)));
    }
}

id initEmpty(id self, SEL) {
    items(self);
    return self;
}
id initWithObjects(id self, SEL sel, const id* objects, unsigned long count) {
    std::vector<id>& v = items(self);
    for (unsigned long k = 0; k < count; ++k) {
        if (objects[k] == nil) {
            refuseNil(self, sel);
            continue;
        }
        v.push_back(retained(objects[k]));
    }
    return self;
}
id initWithArray(id self, SEL, id other) {
    items(self);
    appendFrom(self, other);
    return self;
}
id initWithCapacity(id self, SEL, unsigned long capacity) {
    items(self).reserve(capacity < 4096 ? capacity : 4096);
    return self;
}
id initWithContentsOfFile(id self, SEL, id path) {
    id root = detail::readPropertyList(objc::send<const char*>(path, "UTF8String"_sel));
    if (!detail::isKind(root, "NSArray")) {
        objc::send(root, "release"_sel);
        objc::send(self, "release"_sel);
        return nil;
    }
    items(self);
    appendFrom(self, root);
    objc::send(root, "release"_sel);
    return self;
}

id alloc(Class cls) { return objc::send<id>(cls, "alloc"_sel); }
id emptyArray(Class cls, SEL) { return autoreleased(objc::send<id>(alloc(cls), "init"_sel)); }
id withObjects(Class cls, SEL, const id* objects, unsigned long count) {
    return autoreleased(objc::send<id>(alloc(cls), "initWithObjects:count:"_sel, objects, count));
}
id withObject(Class cls, SEL, id object) {
    return autoreleased(objc::send<id>(alloc(cls), "initWithObjects:count:"_sel, &object, 1ul));
}
id withArray(Class cls, SEL, id other) {
    return autoreleased(objc::send<id>(alloc(cls), "initWithArray:"_sel, other));
}
id withCapacity(Class cls, SEL, unsigned long capacity) {
    return autoreleased(objc::send<id>(alloc(cls), "initWithCapacity:"_sel, capacity));
}
id withContentsOfFile(Class cls, SEL, id path) {
    return autoreleased(objc::send<id>(alloc(cls), "initWithContentsOfFile:"_sel, path));
}

void dealloc(id self, SEL sel) {
    if (std::vector<id>* v = itemsOf(self)) {
        for (id o : *v) {
            objc::send(o, "release"_sel);
        }
        delete v;
        itemsOf(self) = nullptr;
    }
    objc::sendSuper(objc_lookUpClass("NSArray"), self, sel);
}

unsigned long count(id self, SEL) { return items(self).size(); }
id objectAtIndex(id self, SEL sel, unsigned long index) {
    std::vector<id>& v = items(self);
    if (index >= v.size()) {
        outOfRange(self, sel, index, v.size());
    }
    return v[index];
}
id firstObject(id self, SEL) { return items(self).empty() ? nil : items(self).front(); }
id lastObject(id self, SEL) { return items(self).empty() ? nil : items(self).back(); }

unsigned long indexOfObject(id self, SEL, id object) {
    if (object == nil) {
        return NotFound;
    }
    const std::vector<id>& v = items(self);
    for (std::size_t k = 0; k < v.size(); ++k) {
        if (v[k] == object || objc::send<bool>(v[k], "isEqual:"_sel, object)) {
            return k;
        }
    }
    return NotFound;
}
unsigned long indexOfObjectIdenticalTo(id self, SEL, id object) {
    const std::vector<id>& v = items(self);
    for (std::size_t k = 0; k < v.size(); ++k) {
        if (v[k] == object) {
            return k;
        }
    }
    return NotFound;
}
bool containsObject(id self, SEL, id object) {
    return objc::send<unsigned long>(self, "indexOfObject:"_sel, object) != NotFound;
}

bool isEqualToArray(id self, SEL, id other) {
    if (other == self) {
        return true;
    }
    if (!detail::isKind(other, "NSArray")) {
        return false;
    }
    const std::vector<id>& v = items(self);
    if (objc::send<unsigned long>(other, "count"_sel) != v.size()) {
        return false;
    }
    for (std::size_t k = 0; k < v.size(); ++k) {
        id theirs = objc::send<id>(other, "objectAtIndex:"_sel, static_cast<unsigned long>(k));
        if (v[k] != theirs && !objc::send<bool>(v[k], "isEqual:"_sel, theirs)) {
            return false;
        }
    }
    return true;
}
unsigned long hash(id self, SEL) { return items(self).size(); }

id copyImmutable(id self, SEL, void*) { return retained(self); }
id copyOfMutable(id self, SEL, void*) {
    return objc::send<id>(alloc(objc_lookUpClass("NSArray")), "initWithArray:"_sel, self);
}
id mutableCopy(id self, SEL, void*) {
    return objc::send<id>(alloc(objc_lookUpClass("NSMutableArray")), "initWithArray:"_sel, self);
}

id arrayByAddingObject(id self, SEL sel, id object) {
    id result = objc::send<id>(alloc(objc_lookUpClass("NSArray")), "initWithArray:"_sel, self);
    if (object == nil) {
        refuseNil(self, sel);
    } else {
        items(result).push_back(retained(object));
    }
    return autoreleased(result);
}

id componentsJoined(id self, SEL, id separator) {
    const char* sep = separator == nil ? "" : objc::send<const char*>(separator, "UTF8String"_sel);
    std::string out;
    const std::vector<id>& v = items(self);
    for (std::size_t k = 0; k < v.size(); ++k) {
        if (k > 0) {
            out += sep;
        }
        id text = objc::send<id>(v[k], "description"_sel);
        const char* utf8 = objc::send<const char*>(text, "UTF8String"_sel);
        out += utf8 != nullptr ? utf8 : "";
    }
    return objc::toId(String::string(std::string_view(out)));
}

id description(id self, SEL) {
    return objc::toId(String::string(std::string_view(detail::describe(self, 0))));
}

bool writeToFile(id self, SEL, id path, bool atomically) {
    return detail::writePropertyList(self, objc::send<const char*>(path, "UTF8String"_sel), atomically);
}

void addObject(id self, SEL sel, id object) {
    if (object == nil) {
        refuseNil(self, sel);
        return;
    }
    items(self).push_back(retained(object));
}
void insertObject(id self, SEL sel, id object, unsigned long index) {
    std::vector<id>& v = items(self);
    if (index > v.size()) {
        outOfRange(self, sel, index, v.size() + 1);
    }
    if (object == nil) {
        refuseNil(self, sel);
        return;
    }
    v.insert(v.begin() + static_cast<std::ptrdiff_t>(index), retained(object));
}
void removeObjectAtIndex(id self, SEL sel, unsigned long index) {
    std::vector<id>& v = items(self);
    if (index >= v.size()) {
        outOfRange(self, sel, index, v.size());
    }
    id gone = v[index];
    v.erase(v.begin() + static_cast<std::ptrdiff_t>(index));
    objc::send(gone, "release"_sel);
}
void removeLastObject(id self, SEL) {
    std::vector<id>& v = items(self);
    if (!v.empty()) {
        id gone = v.back();
        v.pop_back();
        objc::send(gone, "release"_sel);
    }
}
void removeObject(id self, SEL, id object) {
    if (object == nil) {
        return;
    }
    // Take the matches out first: releasing one may run code that looks at this array.
    std::vector<id> gone;
    std::vector<id>& v = items(self);
    std::vector<id> kept;
    for (id o : v) {
        (o == object || objc::send<bool>(o, "isEqual:"_sel, object) ? gone : kept).push_back(o);
    }
    v.swap(kept);
    for (id o : gone) {
        objc::send(o, "release"_sel);
    }
}
void removeAllObjects(id self, SEL) {
    std::vector<id> gone;
    gone.swap(items(self));
    for (id o : gone) {
        objc::send(o, "release"_sel);
    }
}
void replaceObject(id self, SEL sel, unsigned long index, id object) {
    std::vector<id>& v = items(self);
    if (index >= v.size()) {
        outOfRange(self, sel, index, v.size());
    }
    if (object == nil) {
        std::fprintf(stderr, "-[%s %s]: object cannot be nil; nothing was replaced\n",
                     class_getName(object_getClass(self)), sel_getName(sel));
        return;
    }
    id old = v[index];
    v[index] = retained(object);
    objc::send(old, "release"_sel);
}
void addObjectsFromArray(id self, SEL, id other) {
    if (other == self) {
        std::vector<id> same = items(self);
        for (id o : same) {
            items(self).push_back(retained(o));
        }
        return;
    }
    appendFrom(self, other);
}

GLINTMERE_REGISTER_CLASSES {
    objc::ClassBuilder("NSArray", "NSObject")
        .ivar<void*>("_items")
        .classMethod<&emptyArray>("array")
        .classMethod<&withObjects>("arrayWithObjects:count:")
        .classMethod<&withObject>("arrayWithObject:")
        .classMethod<&withArray>("arrayWithArray:")
        .classMethod<&withContentsOfFile>("arrayWithContentsOfFile:")
        .method<&initEmpty>("init")
        .method<&initWithObjects>("initWithObjects:count:")
        .method<&initWithArray>("initWithArray:")
        .method<&initWithContentsOfFile>("initWithContentsOfFile:")
        .method<&dealloc>("dealloc")
        .method<&count>("count")
        .method<&objectAtIndex>("objectAtIndex:")
        .method<&objectAtIndex>("objectAtIndexedSubscript:")
        .method<&firstObject>("firstObject")
        .method<&lastObject>("lastObject")
        .method<&indexOfObject>("indexOfObject:")
        .method<&indexOfObjectIdenticalTo>("indexOfObjectIdenticalTo:")
        .method<&containsObject>("containsObject:")
        .method<&isEqualToArray>("isEqualToArray:")
        .method<&isEqualToArray>("isEqual:")
        .method<&hash>("hash")
        .method<&copyImmutable>("copyWithZone:")
        .method<&mutableCopy>("mutableCopyWithZone:")
        .method<&arrayByAddingObject>("arrayByAddingObject:")
        .method<&componentsJoined>("componentsJoinedByString:")
        .method<&description>("description")
        .method<&writeToFile>("writeToFile:atomically:")
        .build();
}

GLINTMERE_REGISTER_CLASSES {
    objc::ClassBuilder("NSMutableArray", "NSArray")
        .classMethod<&withCapacity>("arrayWithCapacity:")
        .method<&initWithCapacity>("initWithCapacity:")
        .method<&copyOfMutable>("copyWithZone:")
        .method<&addObject>("addObject:")
        .method<&insertObject>("insertObject:atIndex:")
        .method<&removeObjectAtIndex>("removeObjectAtIndex:")
        .method<&removeLastObject>("removeLastObject")
        .method<&removeObject>("removeObject:")
        .method<&removeAllObjects>("removeAllObjects")
        .method<&replaceObject>("replaceObjectAtIndex:withObject:")
        .method<&addObjectsFromArray>("addObjectsFromArray:")
        .build();
}

} // namespace
} // namespace NS
