// NSDate: a point in wall-clock time, in seconds from 2001-01-01 00:00:00 UTC.
#pragma once

#include "Foundation/NSObject.hpp"

namespace NS {

// Seconds from 1970-01-01 to 2001-01-01, the reference date.
inline constexpr double TimeIntervalSince1970 = 978307200.0;

class GLINTMERE_EXPORT Date : public Referencing<Date, "NSDate"> {
  public:
    static Date* date() { return objc::send<Date*>(runtimeClass(), objc::Selector<"date">()); }
    static Date* dateWithTimeIntervalSinceNow(double seconds) {
        return objc::send<Date*>(runtimeClass(), objc::Selector<"dateWithTimeIntervalSinceNow:">(), seconds);
    }
    static Date* dateWithTimeIntervalSinceReferenceDate(double seconds) {
        return objc::send<Date*>(runtimeClass(), objc::Selector<"dateWithTimeIntervalSinceReferenceDate:">(),
                                 seconds);
    }
    static Date* dateWithTimeIntervalSince1970(double seconds) {
        return objc::send<Date*>(runtimeClass(), objc::Selector<"dateWithTimeIntervalSince1970:">(), seconds);
    }
    static Date* distantFuture() {
        return objc::send<Date*>(runtimeClass(), objc::Selector<"distantFuture">());
    }
    static Date* distantPast() { return objc::send<Date*>(runtimeClass(), objc::Selector<"distantPast">()); }

    Date* initWithTimeIntervalSinceReferenceDate(double seconds) {
        return objc::send<Date*>(this, objc::Selector<"initWithTimeIntervalSinceReferenceDate:">(), seconds);
    }

    double timeIntervalSinceReferenceDate() {
        return objc::send<double>(this, objc::Selector<"timeIntervalSinceReferenceDate">());
    }
    double timeIntervalSinceNow() {
        return objc::send<double>(this, objc::Selector<"timeIntervalSinceNow">());
    }
    double timeIntervalSince1970() {
        return objc::send<double>(this, objc::Selector<"timeIntervalSince1970">());
    }
    double timeIntervalSinceDate(Date* other) {
        return objc::send<double>(this, objc::Selector<"timeIntervalSinceDate:">(), other);
    }
    Date* dateByAddingTimeInterval(double seconds) {
        return objc::send<Date*>(this, objc::Selector<"dateByAddingTimeInterval:">(), seconds);
    }
    Date* earlierDate(Date* other) {
        return objc::send<Date*>(this, objc::Selector<"earlierDate:">(), other);
    }
    Date* laterDate(Date* other) { return objc::send<Date*>(this, objc::Selector<"laterDate:">(), other); }
    // NSOrderedAscending (-1) when this date is the earlier one, NSOrderedSame (0), NSOrderedDescending (1).
    long compare(Date* other) { return objc::send<long>(this, objc::Selector<"compare:">(), other); }
    bool isEqualToDate(Date* other) {
        return objc::send<bool>(this, objc::Selector<"isEqualToDate:">(), other);
    }
};

} // namespace NS
