// Whether two property-list objects hold the same values, kind for kind: a boolean is not the integer
// 1, a real is compared bit for bit, and a dictionary's keys come in the same order.
#pragma once

#include "Foundation/Foundation.hpp"

#include <cstring>

namespace testing_support {

inline bool sameValues(NS::Object* a, NS::Object* b) {
    if (a == nullptr || b == nullptr) {
        return a == b;
    }
    if (object_getClass(a->self()) != object_getClass(b->self())) {
        return false;
    }
    if (auto x = NS::cast<NS::Number>(a)) {
        auto y = NS::cast<NS::Number>(b);
        const double dx = x->doubleValue();
        const double dy = y->doubleValue();
        return std::strcmp(x->objCType(), y->objCType()) == 0 && x->isBoolean() == y->isBoolean() &&
               x->longLongValue() == y->longLongValue() && std::memcmp(&dx, &dy, sizeof dx) == 0;
    }
    if (auto x = NS::cast<NS::String>(a)) {
        return x->str() == NS::cast<NS::String>(b)->str();
    }
    if (auto x = NS::cast<NS::Data>(a)) {
        auto y = NS::cast<NS::Data>(b);
        return x->length() == y->length() && std::memcmp(x->bytes(), y->bytes(), x->length()) == 0;
    }
    if (auto x = NS::cast<NS::Date>(a)) {
        const double tx = x->timeIntervalSinceReferenceDate();
        const double ty = NS::cast<NS::Date>(b)->timeIntervalSinceReferenceDate();
        return std::memcmp(&tx, &ty, sizeof tx) == 0;
    }
    if (auto x = NS::cast<NS::Array>(a)) {
        auto y = NS::cast<NS::Array>(b);
        if (x->count() != y->count()) {
            return false;
        }
        for (unsigned long k = 0; k < x->count(); ++k) {
            if (!sameValues(x->objectAtIndex(k), y->objectAtIndex(k))) {
                return false;
            }
        }
        return true;
    }
    if (auto x = NS::cast<NS::Dictionary>(a)) {
        auto y = NS::cast<NS::Dictionary>(b);
        NS::Array* keys = x->allKeys();
        if (!sameValues(keys, y->allKeys())) {
            return false;
        }
        for (unsigned long k = 0; k < keys->count(); ++k) {
            NS::Object* key = keys->objectAtIndex(k);
            if (!sameValues(x->objectForKey(key), y->objectForKey(key))) {
                return false;
            }
        }
        return true;
    }
    return false;
}

} // namespace testing_support
