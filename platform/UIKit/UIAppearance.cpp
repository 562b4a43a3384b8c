#include "UIKit/UIAppearance.hpp"
#include "UIKit/UIAppearanceInternals.hpp"
#include "UIKit/UIViewControllerInternals.hpp"

#include "Foundation/NSDictionary.hpp"
#include "Foundation/NSString.hpp"
#include "UIKit/Appearance/AppearanceRules.hpp"
#include "UIKit/UIView.hpp"
#include "UIKit/UIViewController.hpp"
#include "objc/Registration.hpp"

#include <cstdarg>
#include <cstring>
#include <string>
#include <vector>

namespace UI {
namespace {

// The proxies' class. It answers a setter and a getter for each key, made from the list below.
class AppearanceProxy : public NS::Referencing<AppearanceProxy, "_UIAppearance"> {
  public:
    OBJC_IVAR(_values, NS::MutableDictionary*, Owning)
};

constexpr const char* kKeys[] = {"onTintColor",  "tintColor",           "thumbTintColor",
                                 "barTintColor", "titleTextAttributes", "backgroundColor"};
// Longer than any real list of containers; a list that runs past it lacks its closing nil.
constexpr std::size_t kMaxContainers = 32;

// One proxy: the class it styles, its containers innermost first, and what was set on it. Proxies
// last for the rest of the process, as the device keeps them.
struct Proxy {
    Class styled;
    std::vector<Class> containers;
    NS::MutableDictionary* values;
    id object;
};

std::vector<Proxy>& proxies() {
    static auto* all = new std::vector<Proxy>();
    return *all;
}

id proxyFor(Class styled, std::vector<Class> containers) {
    for (const Proxy& p : proxies()) {
        if (p.styled == styled && p.containers == containers) {
            return p.object;
        }
    }
    id object = objc::toId(AppearanceProxy::alloc()->init());
    auto* values = NS::MutableDictionary::alloc()->init().get();
    objc::setIvar(reinterpret_cast<AppearanceProxy*>(object), AppearanceProxy::_values, values);
    proxies().push_back({styled, std::move(containers), values, object});
    return object;
}

id generalAppearance(Class self, SEL) { return proxyFor(self, {}); }

id containedAppearance(Class self, SEL, Class first, ...) {
    std::vector<Class> containers;
    va_list more;
    va_start(more, first);
    for (Class c = first; c != Nil && containers.size() < kMaxContainers; c = va_arg(more, Class)) {
        containers.push_back(c);
    }
    va_end(more);
    return proxyFor(self, std::move(containers));
}

// `setOnTintColor:` → "onTintColor".
std::string keyOfSetter(SEL sel) {
    std::string name = sel_getName(sel);
    name = name.substr(3, name.size() - 4);
    if (!name.empty()) {
        name[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(name[0])));
    }
    return name;
}

void proxySet(id self, SEL sel, id value) {
    auto values = objc::ivar(reinterpret_cast<AppearanceProxy*>(self), AppearanceProxy::_values);
    auto key = NS::String::string(keyOfSetter(sel).c_str());
    if (value == nil) {
        values->removeObjectForKey(key);
    } else {
        values->setObjectForKey(reinterpret_cast<NS::Object*>(value), key);
    }
}

id proxyGet(id self, SEL sel) {
    return objc::toId(objc::ivar(reinterpret_cast<AppearanceProxy*>(self), AppearanceProxy::_values)
                          ->objectForKey(NS::String::string(sel_getName(sel))));
}

appearance::ClassChain chainOf(Class cls) {
    appearance::ClassChain chain;
    for (Class c = cls; c != Nil; c = class_getSuperclass(c)) {
        chain.emplace_back(class_getName(c));
    }
    return chain;
}

bool isKind(Class cls, Class of) {
    for (Class c = cls; c != Nil; c = class_getSuperclass(c)) {
        if (c == of) {
            return true;
        }
    }
    return false;
}

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<AppearanceProxy> builder;
    builder.ivar(AppearanceProxy::_values);
    // The selectors come from the list of keys, so no view declares them.
    for (const char* key : kKeys) {
        std::string setter = std::string("set") + key + ":";
        setter[3] = static_cast<char>(std::toupper(static_cast<unsigned char>(setter[3])));
        builder.addMethod(setter.c_str(), objc::toImp(&proxySet), objc::encodeMethod<void, id>().c_str(),
                          false);
        builder.addMethod(key, objc::toImp(&proxyGet), objc::encodeMethod<id>().c_str(), false);
    }
    builder.build();
}

} // namespace

void addAppearanceMethods(objc::ClassBuilder& builder) {
    builder.addMethod("appearance", objc::toImp(&generalAppearance), objc::encodeMethod<id>().c_str(), true);
    builder.addMethod("appearanceWhenContainedIn:", objc::toImp(&containedAppearance),
                      objc::encodeMethod<id, Class>().c_str(), true);
}

NS::Object* appearanceValue(View* view, const char* key) {
    if (view == nullptr) {
        return nullptr;
    }
    auto name = NS::String::string(key);
    std::vector<appearance::Rule> rules;
    std::vector<NS::Object*> values;
    for (const Proxy& p : proxies()) {
        NS::Object* value = p.values->objectForKey(name);
        if (value == nullptr || !isKind(view->getClass(), p.styled)) {
            continue;
        }
        appearance::Rule rule;
        for (Class c : p.containers) {
            rule.containers.emplace_back(class_getName(c));
        }
        rules.push_back(std::move(rule));
        values.push_back(value);
    }
    if (rules.empty()) {
        return nullptr;
    }
    // The containers, nearest first: each superview, and after a view the controller that owns it.
    std::vector<appearance::ClassChain> ancestors;
    for (objc::Ptr<View> v = view; v != nullptr; v = v->superview()) {
        if (v != view) {
            ancestors.push_back(chainOf(v->getClass()));
        }
        if (auto controller = controllerOfView(v)) {
            ancestors.push_back(chainOf(controller->getClass()));
        }
    }
    const int chosen = appearance::select(rules, ancestors);
    return chosen < 0 ? nullptr : values[static_cast<std::size_t>(chosen)];
}

} // namespace UI
