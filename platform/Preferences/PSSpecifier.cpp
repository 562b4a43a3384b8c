#include "Preferences/PSSpecifier.hpp"
#include "Preferences/PSSpecifierInternals.hpp"

#include "Foundation/NSArray.hpp"
#include "Foundation/NSDictionary.hpp"
#include "Foundation/NSString.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

namespace {

using NS::literals::operator""_ns;
using PS::Specifier;
using PS::SpecifierInternals;

objc::Ptr<NS::MutableDictionary> propertiesOf(Specifier* self) {
    return objc::ivar(self, PS::SpecifierInternals::_properties);
}

Specifier* preferenceSpecifierNamedTargetSetGetDetailCellEdit(Class cls, NS::String* name, id target, SEL set,
                                                              SEL get, Class detail, long cell, long) {
    auto specifier = Specifier::alloc_.send(cls)->init();
    specifier->setName(name);
    specifier->setTarget(target);
    objc::setIvar(specifier, SpecifierInternals::_setter, set);
    objc::setIvar(specifier, SpecifierInternals::_getter, get);
    specifier->setDetailControllerClass(detail);
    specifier->setCellType(cell);
    return specifier->autorelease();
}

Specifier* init(Specifier* self) {
    auto specifier = Specifier::init_.super<Specifier>(self);
    if (specifier != nullptr) {
        objc::setIvar(specifier, PS::SpecifierInternals::_properties, NS::MutableDictionary::alloc()->init());
    }
    return specifier;
}

NS::MutableDictionary* properties(Specifier* self) { return propertiesOf(self); }

void setProperties(Specifier* self, objc::Ptr<NS::Dictionary> dictionary) {
    auto fresh = dictionary != nullptr ? dictionary->mutableCopy().as<NS::MutableDictionary>()
                                       : NS::MutableDictionary::alloc()->init();
    propertiesOf(self)->release();
    objc::setIvar(self, PS::SpecifierInternals::_properties, fresh);
}

NS::Object* propertyForKey(Specifier* self, objc::Ptr<NS::String> key) {
    return key != nullptr ? propertiesOf(self)->objectForKey(key) : nullptr;
}

void removePropertyForKey(Specifier* self, objc::Ptr<NS::String> key) {
    if (key != nullptr) {
        propertiesOf(self)->removeObjectForKey(key);
    }
}

void setPropertyForKey(Specifier* self, objc::Ptr<NS::Object> value, objc::Ptr<NS::String> key) {
    if (key == nullptr) {
        return;
    }
    if (value == nullptr) {
        self->removePropertyForKey(key);
        return;
    }
    propertiesOf(self)->setObjectForKey(value, key);
}

NS::String* identifier(Specifier* self) {
    for (const char* name : {"id", "key"}) {
        if (auto value = self->propertyForKey(NS::String::string(name))) {
            return value.as<NS::String>();
        }
    }
    return self->name();
}

NS::Array* values(Specifier* self) { return NS::cast<NS::Array>(self->propertyForKey("validValues"_ns)); }

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<Specifier>()
        .ivar(SpecifierInternals::_properties)
        // Strings and dictionaries may come mutable: these keep a copy.
        .property<NS::String*>("name", objc::Ownership::Copying)
        .property<NS::Dictionary*>("titleDictionary", objc::Ownership::Copying)
        .property<NS::Dictionary*>("shortTitleDictionary", objc::Ownership::Copying)
        .property<id>("target", objc::Ownership::Plain)
        .property(SpecifierInternals::_getter)
        .property(SpecifierInternals::_setter)
        .property<SEL>("buttonAction", objc::Ownership::Plain)
        .property<Class>("detailControllerClass", objc::Ownership::Plain)
        .property<long>("cellType")
        .method<&preferenceSpecifierNamedTargetSetGetDetailCellEdit>(
            Specifier::preferenceSpecifierNamedTargetSetGetDetailCellEdit_)
        .method<&init>(Specifier::init_)
        .method<&properties>(Specifier::properties_)
        .method<&setProperties>(Specifier::setProperties_)
        .method<&propertyForKey>(Specifier::propertyForKey_)
        .method<&removePropertyForKey>(Specifier::removePropertyForKey_)
        .method<&setPropertyForKey>(Specifier::setPropertyForKey_)
        .method<&identifier>(Specifier::identifier_)
        .method<&values>(Specifier::values_)
        .build();
}

} // namespace
