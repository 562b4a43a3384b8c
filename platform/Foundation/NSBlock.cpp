#include "Foundation/NSBlock.hpp"

#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

namespace {

using NS::Block;
using NS::Object;

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<Block>()
        .ivar<void*>("_body")
        .method(Object::dealloc_,
                [](Block* self) {
                    objc::runtime::destroyBlockBody(self->self());
                    Object::dealloc_.super<Block>(self);
                })
        // Blocks are immutable: a copy is the same block with one more owner.
        .method(Object::copyWithZone_, [](Block* self, void*) -> Object* { return self->retain(); })
        .build();
}

} // namespace
