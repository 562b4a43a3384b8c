#include "UIKit/NSIndexPath.hpp"
#include "UIKit/NSIndexPathInternals.hpp"

#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

namespace {

using NS::IndexPath;
using NS::IndexPathInternals;

IndexPath* indexPathForRowInSection(Class cls, long row, long section) {
    auto path = IndexPath::alloc_.send(cls)->init();
    objc::setIvar(path, IndexPathInternals::_row, row);
    objc::setIvar(path, IndexPathInternals::_section, section);
    return path->autorelease();
}

bool isEqual(IndexPath* self, const NS::Object* other) {
    auto path = NS::cast<IndexPath>(other);
    return path != nullptr && self->row() == path->row() && self->section() == path->section();
}

unsigned long hash(IndexPath* self) {
    return static_cast<unsigned long>(self->section()) * 1000003UL + static_cast<unsigned long>(self->row());
}

// Index paths never change, so a copy is the same object.
NS::Object* copyWithZone(IndexPath* self, void*) { return self->retain(); }

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<IndexPath>()
        .property(IndexPathInternals::_row)
        .property(IndexPathInternals::_section)
        .method<&indexPathForRowInSection>(IndexPath::indexPathForRowInSection_)
        .method<&isEqual>(NS::Object::isEqual_)
        .method<&hash>(NS::Object::hash_)
        .method<&copyWithZone>(NS::Object::copyWithZone_)
        .build();
}

} // namespace
