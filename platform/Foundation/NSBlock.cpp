#include "Foundation/NSBlock.hpp"

#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

namespace {

using NS::Block;
using NS::Object;

void dealloc(Block* self) {
    objc::runtime::destroyBlockBody(self->self());
    Object::dealloc_.super<Block>(self);
}

// Blocks are immutable: a copy is the same block with one more owner.
Object* copyWithZone(Block* self, void*) { return self->retain(); }

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<Block>()
        .ivar(objc::runtime::block::Storage::_body)
        .method<&dealloc>(Object::dealloc_)
        .method<&copyWithZone>(Object::copyWithZone_)
        .build();
}

} // namespace
