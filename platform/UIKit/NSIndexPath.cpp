#include "UIKit/NSIndexPath.hpp"

#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

namespace {

using NS::IndexPath;

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<IndexPath>()
        .property<long>("row")
        .property<long>("section")
        .method(IndexPath::indexPathForRowInSection_,
                [](Class cls, long row, long section) -> IndexPath* {
                    auto path = IndexPath::alloc_.send(cls)->init();
                    objc::setIvar<long>(path, "_row", row);
                    objc::setIvar<long>(path, "_section", section);
                    return path->autorelease();
                })
        .method(NS::Object::isEqual_,
                [](IndexPath* self, const NS::Object* other) -> bool {
                    auto path = NS::cast<IndexPath>(other);
                    return path != nullptr && self->row() == path->row() &&
                           self->section() == path->section();
                })
        .method(NS::Object::hash_,
                [](IndexPath* self) -> unsigned long {
                    return static_cast<unsigned long>(self->section()) * 1000003UL +
                           static_cast<unsigned long>(self->row());
                })
        // Index paths never change, so a copy is the same object.
        .method(NS::Object::copyWithZone_,
                [](IndexPath* self, void*) -> NS::Object* { return self->retain(); })
        .build();
}

} // namespace
