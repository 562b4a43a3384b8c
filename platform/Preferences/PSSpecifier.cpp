#include "Preferences/PSSpecifier.hpp"

#include "Foundation/NSArray.hpp"
#include "Foundation/NSDictionary.hpp"
#include "Foundation/NSString.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

namespace {

using NS::literals::operator""_ns;
using PS::Specifier;

objc::Ptr<NS::MutableDictionary> properties(Specifier* self) {
    return objc::ivar<NS::MutableDictionary*>(self, "_properties");
}

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<Specifier>()
        .ivar<NS::MutableDictionary*>("_properties", objc::Ownership::Owning)
        // Strings and dictionaries may come mutable: these keep a copy.
        .property<NS::String*>("name", objc::Ownership::Copying)
        .property<NS::Dictionary*>("titleDictionary", objc::Ownership::Copying)
        .property<NS::Dictionary*>("shortTitleDictionary", objc::Ownership::Copying)
        .property<id>("target", objc::Ownership::Plain)
        .property<SEL>("getter", objc::Ownership::Plain)
        .property<SEL>("setter", objc::Ownership::Plain)
        .property<SEL>("buttonAction", objc::Ownership::Plain)
        .property<Class>("detailControllerClass", objc::Ownership::Plain)
        .property<long>("cellType")
        .method(Specifier::preferenceSpecifierNamedTargetSetGetDetailCellEdit_,
                [](Class cls, NS::String* name, id target, SEL set, SEL get, Class detail, long cell,
                   long) -> Specifier* {
                    auto specifier = Specifier::alloc_.send(cls)->init();
                    specifier->setName(name);
                    specifier->setTarget(target);
                    objc::setIvar<SEL>(specifier, "_setter", set);
                    objc::setIvar<SEL>(specifier, "_getter", get);
                    specifier->setDetailControllerClass(detail);
                    specifier->setCellType(cell);
                    return specifier->autorelease();
                })
        .method(Specifier::init_,
                [](Specifier* self) -> Specifier* {
                    auto specifier = Specifier::init_.super<Specifier>(self);
                    if (specifier != nullptr) {
                        objc::setIvar<NS::MutableDictionary*>(specifier, "_properties",
                                                              NS::MutableDictionary::alloc()->init());
                    }
                    return specifier;
                })
        .method(Specifier::properties_,
                [](Specifier* self) -> NS::MutableDictionary* { return properties(self); })
        .method(Specifier::setProperties_,
                [](Specifier* self, objc::Ptr<NS::Dictionary> dictionary) {
                    auto fresh = dictionary != nullptr ? dictionary->mutableCopy().as<NS::MutableDictionary>()
                                                       : NS::MutableDictionary::alloc()->init();
                    properties(self)->release();
                    objc::setIvar<NS::MutableDictionary*>(self, "_properties", fresh);
                })
        .method(Specifier::propertyForKey_,
                [](Specifier* self, objc::Ptr<NS::String> key) -> NS::Object* {
                    return key != nullptr ? properties(self)->objectForKey(key) : nullptr;
                })
        .method(Specifier::removePropertyForKey_,
                [](Specifier* self, objc::Ptr<NS::String> key) {
                    if (key != nullptr) {
                        properties(self)->removeObjectForKey(key);
                    }
                })
        .method(Specifier::setPropertyForKey_,
                [](Specifier* self, objc::Ptr<NS::Object> value, objc::Ptr<NS::String> key) {
                    if (key == nullptr) {
                        return;
                    }
                    if (value == nullptr) {
                        self->removePropertyForKey(key);
                        return;
                    }
                    properties(self)->setObjectForKey(value, key);
                })
        .method(Specifier::identifier_,
                [](Specifier* self) -> NS::String* {
                    for (const char* name : {"id", "key"}) {
                        if (auto value = self->propertyForKey(NS::String::string(name))) {
                            return value.as<NS::String>();
                        }
                    }
                    return self->name();
                })
        .method(Specifier::values_,
                [](Specifier* self) -> NS::Array* {
                    return NS::cast<NS::Array>(self->propertyForKey("validValues"_ns));
                })
        .build();
}

} // namespace
