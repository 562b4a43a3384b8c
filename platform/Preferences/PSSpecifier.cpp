#include "Preferences/PSSpecifier.hpp"

#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

namespace {

using objc::operator""_sel;

id newMutableDictionary() {
    return objc::send<id>(objc::send<id>(objc_lookUpClass("NSMutableDictionary"), "alloc"_sel), "init"_sel);
}

id properties(id self) { return objc::ivar<id>(self, "_properties"); }

// Replaces an owning ivar with a copy of `value` (strings and dictionaries may come mutable).
void setCopied(id self, const char* ivar, id value) {
    id copy = objc::send<id>(value, "copy"_sel);
    id old = objc::ivar<id>(self, ivar);
    objc::setIvar<id>(self, ivar, copy);
    objc::send(old, "release"_sel);
}

id init(id self, SEL) {
    self = objc::sendSuper<id>(objc_lookUpClass("PSSpecifier"), self, "init"_sel);
    if (self != nil) {
        objc::setIvar<id>(self, "_properties", newMutableDictionary());
    }
    return self;
}

id preferenceSpecifier(Class cls, SEL, id name, id target, SEL set, SEL get, Class detail, long cell, long) {
    id specifier = objc::send<id>(objc::send<id>(cls, "alloc"_sel), "init"_sel);
    objc::send(specifier, "setName:"_sel, name);
    objc::send(specifier, "setTarget:"_sel, target);
    objc::setIvar<SEL>(specifier, "_setter", set);
    objc::setIvar<SEL>(specifier, "_getter", get);
    objc::send(specifier, "setDetailControllerClass:"_sel, detail);
    objc::send(specifier, "setCellType:"_sel, cell);
    return objc::send<id>(specifier, "autorelease"_sel);
}

id propertiesOf(id self, SEL) { return properties(self); }

void setProperties(id self, SEL, id dictionary) {
    id fresh = dictionary != nil ? objc::send<id>(dictionary, "mutableCopy"_sel) : newMutableDictionary();
    objc::send(properties(self), "release"_sel);
    objc::setIvar<id>(self, "_properties", fresh);
}

id propertyForKey(id self, SEL, id key) {
    return key != nil ? objc::send<id>(properties(self), "objectForKey:"_sel, key) : nil;
}

void removePropertyForKey(id self, SEL, id key) {
    if (key != nil) {
        objc::send(properties(self), "removeObjectForKey:"_sel, key);
    }
}

void setProperty(id self, SEL, id value, id key) {
    if (key == nil) {
        return;
    }
    if (value == nil) {
        removePropertyForKey(self, nullptr, key);
        return;
    }
    objc::send(properties(self), "setObject:forKey:"_sel, value, key);
}

id identifier(id self, SEL) {
    for (const char* name : {"id", "key"}) {
        id key = objc::send<id>(objc_lookUpClass("NSString"), "stringWithUTF8String:"_sel, name);
        if (id value = propertyForKey(self, nullptr, key)) {
            return value;
        }
    }
    return objc::send<id>(self, "name"_sel);
}

id name(id self, SEL) { return objc::ivar<id>(self, "_name"); }
id titleDictionary(id self, SEL) { return objc::ivar<id>(self, "_titleDictionary"); }
id shortTitleDictionary(id self, SEL) { return objc::ivar<id>(self, "_shortTitleDictionary"); }
void setName(id self, SEL, id name) { setCopied(self, "_name", name); }
void setTitleDictionary(id self, SEL, id titles) { setCopied(self, "_titleDictionary", titles); }
void setShortTitleDictionary(id self, SEL, id titles) { setCopied(self, "_shortTitleDictionary", titles); }

id values(id self, SEL) {
    id key = objc::send<id>(objc_lookUpClass("NSString"), "stringWithUTF8String:"_sel, "validValues");
    id list = propertyForKey(self, nullptr, key);
    return objc::send<bool>(list, "isKindOfClass:"_sel, objc_lookUpClass("NSArray")) ? list : nil;
}

GLINTMERE_REGISTER_CLASSES {
    objc::ClassBuilder("PSSpecifier", "NSObject")
        .ivar<id>("_properties", objc::Ownership::Owning)
        .ivar<id>("_name", objc::Ownership::Owning)
        .ivar<id>("_titleDictionary", objc::Ownership::Owning)
        .ivar<id>("_shortTitleDictionary", objc::Ownership::Owning)
        .property<id>("target", objc::Ownership::Plain)
        .property<SEL>("getter", objc::Ownership::Plain)
        .property<SEL>("setter", objc::Ownership::Plain)
        .property<SEL>("buttonAction", objc::Ownership::Plain)
        .property<Class>("detailControllerClass", objc::Ownership::Plain)
        .property<long>("cellType")
        .classMethod<&preferenceSpecifier>("preferenceSpecifierNamed:target:set:get:detail:cell:edit:")
        .method<&init>("init")
        .method<&propertiesOf>("properties")
        .method<&setProperties>("setProperties:")
        .method<&propertyForKey>("propertyForKey:")
        .method<&setProperty>("setProperty:forKey:")
        .method<&removePropertyForKey>("removePropertyForKey:")
        .method<&identifier>("identifier")
        .method<&name>("name")
        .method<&setName>("setName:")
        .method<&titleDictionary>("titleDictionary")
        .method<&shortTitleDictionary>("shortTitleDictionary")
        .method<&setTitleDictionary>("setTitleDictionary:")
        .method<&setShortTitleDictionary>("setShortTitleDictionary:")
        .method<&values>("values")
        .build();
}

} // namespace
