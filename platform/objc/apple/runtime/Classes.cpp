#include "runtime/Classes.hpp"

#include "runtime/Block.hpp"

#include <stdio.h>
#include <stdlib.h>

namespace objc::runtime {

void classRegistered(Class cls, std::vector<std::string> ownedIvars,
                     const std::vector<std::string>& protocols) {
    for (const std::string& name : protocols) {
        // A protocol that no loaded code declares is declared here, so that the class can conform.
        Protocol* protocol = objc_getProtocol(name.c_str());
        if (protocol == nullptr) {
            protocol = objc_allocateProtocol(name.c_str());
            objc_registerProtocol(protocol);
        }
        class_addProtocol(cls, protocol);
    }
    if (ownedIvars.empty()) {
        return;
    }
    // The block lives as long as the class: the implementation made from it keeps it.
    id release = makeBlock<void(id)>([cls, owned = std::move(ownedIvars)](id self) {
        for (const std::string& name : owned) {
            id value = ivarByName<id>(self, name.c_str());
            setIvarByName<id>(self, name.c_str(), nil);
            objc::send<void>(value, Selector<"release">::get());
        }
        sendSuper<void()>(self, class_getSuperclass(cls), Selector<"dealloc">::get());
    });
    if (!class_addMethod(cls, Selector<"dealloc">::get(), imp_implementationWithBlock(release), "v@:")) {
        fprintf(stderr, "objc: class %s defines dealloc and has owning ivars, which nothing would release\n",
                class_getName(cls));
        abort();
    }
}

} // namespace objc::runtime
