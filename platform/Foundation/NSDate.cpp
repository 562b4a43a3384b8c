#include "Foundation/NSDate.hpp"

#include "Foundation/NSString.hpp"
#include "Foundation/Storage.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace NS {
namespace {

// Where Cocoa puts its distant dates: 4001-01-01 and 0001-01-01 (proleptic Gregorian), UTC.
constexpr double distantFutureInterval = 63113904000.0;
constexpr double distantPastInterval = -63114076800.0;

double& intervalOf(const Date* self) { return detail::slot<double, "NSDate", "_interval">(objc::toId(self)); }

double now() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return static_cast<double>(ts.tv_sec) - TimeIntervalSince1970 + static_cast<double>(ts.tv_nsec) * 1e-9;
}

Date* started(Date* self, double interval) {
    intervalOf(self) = interval;
    return self;
}

long compare(Date* self, objc::Ptr<Date> other) {
    const double a = intervalOf(self);
    const double b = other->timeIntervalSinceReferenceDate();
    return a < b ? -1 : (a > b ? 1 : 0);
}

bool isEqualToDate(Date* self, const Object* other) {
    auto date = cast<Date>(other);
    return date != nullptr && intervalOf(self) == date->timeIntervalSinceReferenceDate();
}

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<Date>()
        .ivar<double>("_interval")
        .method(Date::date_, [](Class cls) -> Date* { return Date::alloc_.send(cls)->init()->autorelease(); })
        .method(Date::dateWithTimeIntervalSinceReferenceDate_,
                [](Class cls, double s) -> Date* {
                    return Date::alloc_.send(cls)->initWithTimeIntervalSinceReferenceDate(s)->autorelease();
                })
        .method(Date::dateWithTimeIntervalSinceNow_,
                [](Class cls, double s) -> Date* {
                    return Date::alloc_.send(cls)->initWithTimeIntervalSinceNow(s)->autorelease();
                })
        .method(Date::dateWithTimeIntervalSince1970_,
                [](Class cls, double s) -> Date* {
                    return Date::alloc_.send(cls)->initWithTimeIntervalSince1970(s)->autorelease();
                })
        .method(Date::distantFuture_,
                [](Class cls) -> Date* {
                    return Date::alloc_.send(cls)
                        ->initWithTimeIntervalSinceReferenceDate(distantFutureInterval)
                        ->autorelease();
                })
        .method(Date::distantPast_,
                [](Class cls) -> Date* {
                    return Date::alloc_.send(cls)
                        ->initWithTimeIntervalSinceReferenceDate(distantPastInterval)
                        ->autorelease();
                })
        .method(Date::init_, [](Date* self) -> Date* { return started(self, now()); })
        .method(Date::initWithTimeIntervalSinceReferenceDate_,
                [](Date* self, double seconds) -> Date* { return started(self, seconds); })
        .method(Date::initWithTimeIntervalSinceNow_,
                [](Date* self, double seconds) -> Date* { return started(self, now() + seconds); })
        .method(Date::initWithTimeIntervalSince1970_,
                [](Date* self, double seconds) -> Date* {
                    return started(self, seconds - TimeIntervalSince1970);
                })
        .method(Date::timeIntervalSinceReferenceDate_, [](Date* self) -> double { return intervalOf(self); })
        .method(Date::timeIntervalSinceNow_, [](Date* self) -> double { return intervalOf(self) - now(); })
        .method(Date::timeIntervalSince1970_,
                [](Date* self) -> double { return intervalOf(self) + TimeIntervalSince1970; })
        .method(Date::timeIntervalSinceDate_,
                [](Date* self, objc::Ptr<Date> other) -> double {
                    return intervalOf(self) - other->timeIntervalSinceReferenceDate();
                })
        .method(Date::dateByAddingTimeInterval_,
                [](Date* self, double seconds) -> Date* {
                    return Date::alloc_.send(object_getClass(self->self()))
                        ->initWithTimeIntervalSinceReferenceDate(intervalOf(self) + seconds)
                        ->autorelease();
                })
        .method(Date::compare_, [](Date* self, Date* other) -> long { return compare(self, other); })
        .method(Date::earlierDate_,
                [](Date* self, Date* other) -> Date* {
                    return other == nullptr || compare(self, other) <= 0 ? self : other;
                })
        .method(Date::laterDate_,
                [](Date* self, Date* other) -> Date* {
                    return other == nullptr || compare(self, other) >= 0 ? self : other;
                })
        .method(Date::isEqualToDate_,
                [](Date* self, Date* other) -> bool { return isEqualToDate(self, other); })
        .method(Object::isEqual_,
                [](Date* self, const Object* other) -> bool { return isEqualToDate(self, other); })
        .method(Object::hash_,
                [](Date* self) -> unsigned long {
                    const double v = intervalOf(self);
                    std::uint64_t bits = 0;
                    std::memcpy(&bits, &v, sizeof bits);
                    return static_cast<unsigned long>(bits ^ (bits >> 29));
                })
        .method(Object::copyWithZone_, [](Date* self, void*) -> Object* { return self->retain(); })
        // "2001-01-01 00:00:00 +0000", as Cocoa describes a date.
        .method(Object::description_,
                [](Date* self) -> String* {
                    const double whole = std::floor(intervalOf(self) + TimeIntervalSince1970);
                    // Far outside what gmtime can take, say so rather than print garbage.
                    if (!(std::fabs(whole) < 1e15)) {
                        return String::string("(date out of range)");
                    }
                    time_t t = static_cast<time_t>(whole);
                    tm parts{};
                    gmtime_r(&t, &parts);
                    char buffer[64];
                    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d +0000",
                                  parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_hour,
                                  parts.tm_min, parts.tm_sec);
                    return String::string(static_cast<const char*>(buffer));
                })
        .build();
}

} // namespace
} // namespace NS
