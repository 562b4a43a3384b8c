// Appearance proxies: values set on `[Class appearance]` or `[Class appearanceWhenContainedIn:...]`
// that views of the class take when nothing was set on them, by the containers they sit in.
#pragma once

#include "Foundation/NSObject.hpp"
#include "objc/ClassBuilder.hpp"

#include <tuple>
#include <type_traits>

namespace UI {

class View;

// Sends `appearanceWhenContainedIn:` as Objective-C does: `cls` receives it, the first container is
// its one fixed argument and the rest, up to the nil the caller writes last, are variadic.
// Deprecated from iOS 9.0 (still answered).
template <class Proxy, class... Classes>
objc::Ptr<Proxy> appearanceWhenContainedIn(Class cls, Class first, Classes... more) {
    static_assert(sizeof...(Classes) > 0 &&
                      std::is_same_v<std::tuple_element_t<sizeof...(Classes) - 1, std::tuple<Classes...>>,
                                     std::nullptr_t>,
                  "the list of container classes ends with nil");
    id receiver = objc::toId(cls);
    if (objc::isNil(receiver)) {
        return nullptr;
    }
    return reinterpret_cast<Proxy*>(objc::runtime::send<id(Class, ...)>(
        receiver, objc::Selector<"appearanceWhenContainedIn:">::get(), first, static_cast<Class>(more)...));
}

} // namespace UI
