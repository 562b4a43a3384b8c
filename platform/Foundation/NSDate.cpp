#include "Foundation/NSDate.hpp"
#include "Foundation/NSDateInternals.hpp"

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

double& intervalOf(const Date* self) { return objc::storage(self, DateInternals::_interval); }

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

bool isEqual(Date* self, const Object* other) {
    auto date = cast<Date>(other);
    return date != nullptr && intervalOf(self) == date->timeIntervalSinceReferenceDate();
}

Date* date(Class cls) { return Date::alloc_.send(cls)->init()->autorelease(); }

Date* dateWithTimeIntervalSinceReferenceDate(Class cls, double s) {
    return Date::alloc_.send(cls)->initWithTimeIntervalSinceReferenceDate(s)->autorelease();
}

Date* dateWithTimeIntervalSinceNow(Class cls, double s) {
    return Date::alloc_.send(cls)->initWithTimeIntervalSinceNow(s)->autorelease();
}

Date* dateWithTimeIntervalSince1970(Class cls, double s) {
    return Date::alloc_.send(cls)->initWithTimeIntervalSince1970(s)->autorelease();
}

Date* distantFuture(Class cls) {
    return Date::alloc_.send(cls)
        ->initWithTimeIntervalSinceReferenceDate(distantFutureInterval)
        ->autorelease();
}

Date* distantPast(Class cls) {
    return Date::alloc_.send(cls)->initWithTimeIntervalSinceReferenceDate(distantPastInterval)->autorelease();
}

Date* init(Date* self) { return started(self, now()); }

Date* initWithTimeIntervalSinceReferenceDate(Date* self, double seconds) { return started(self, seconds); }

Date* initWithTimeIntervalSinceNow(Date* self, double seconds) { return started(self, now() + seconds); }

Date* initWithTimeIntervalSince1970(Date* self, double seconds) {
    return started(self, seconds - TimeIntervalSince1970);
}

double timeIntervalSinceReferenceDate(Date* self) { return intervalOf(self); }

double timeIntervalSinceNow(Date* self) { return intervalOf(self) - now(); }

double timeIntervalSince1970(Date* self) { return intervalOf(self) + TimeIntervalSince1970; }

double timeIntervalSinceDate(Date* self, objc::Ptr<Date> other) {
    return intervalOf(self) - other->timeIntervalSinceReferenceDate();
}

Date* dateByAddingTimeInterval(Date* self, double seconds) {
    return Date::alloc_.send(object_getClass(self->self()))
        ->initWithTimeIntervalSinceReferenceDate(intervalOf(self) + seconds)
        ->autorelease();
}

Date* earlierDate(Date* self, Date* other) {
    return other == nullptr || compare(self, other) <= 0 ? self : other;
}

Date* laterDate(Date* self, Date* other) {
    return other == nullptr || compare(self, other) >= 0 ? self : other;
}

bool isEqualToDate(Date* self, Date* other) { return isEqual(self, other); }

unsigned long hash(Date* self) {
    const double v = intervalOf(self);
    std::uint64_t bits = 0;
    std::memcpy(&bits, &v, sizeof bits);
    return static_cast<unsigned long>(bits ^ (bits >> 29));
}

Object* copyWithZone(Date* self, void*) { return self->retain(); }

// "2001-01-01 00:00:00 +0000", as Cocoa describes a date.
String* description(Date* self) {
    const double whole = std::floor(intervalOf(self) + TimeIntervalSince1970);
    // Far outside what gmtime can take, say so rather than print garbage.
    if (!(std::fabs(whole) < 1e15)) {
        return String::string("(date out of range)");
    }
    time_t t = static_cast<time_t>(whole);
    tm parts{};
    gmtime_r(&t, &parts);
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d +0000", parts.tm_year + 1900,
                  parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec);
    return String::string(static_cast<const char*>(buffer));
}

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<Date>()
        .ivar(DateInternals::_interval)
        .method<&date>(Date::date_)
        .method<&dateWithTimeIntervalSinceReferenceDate>(Date::dateWithTimeIntervalSinceReferenceDate_)
        .method<&dateWithTimeIntervalSinceNow>(Date::dateWithTimeIntervalSinceNow_)
        .method<&dateWithTimeIntervalSince1970>(Date::dateWithTimeIntervalSince1970_)
        .method<&distantFuture>(Date::distantFuture_)
        .method<&distantPast>(Date::distantPast_)
        .method<&init>(Date::init_)
        .method<&initWithTimeIntervalSinceReferenceDate>(Date::initWithTimeIntervalSinceReferenceDate_)
        .method<&initWithTimeIntervalSinceNow>(Date::initWithTimeIntervalSinceNow_)
        .method<&initWithTimeIntervalSince1970>(Date::initWithTimeIntervalSince1970_)
        .method<&timeIntervalSinceReferenceDate>(Date::timeIntervalSinceReferenceDate_)
        .method<&timeIntervalSinceNow>(Date::timeIntervalSinceNow_)
        .method<&timeIntervalSince1970>(Date::timeIntervalSince1970_)
        .method<&timeIntervalSinceDate>(Date::timeIntervalSinceDate_)
        .method<&dateByAddingTimeInterval>(Date::dateByAddingTimeInterval_)
        .method<&compare>(Date::compare_)
        .method<&earlierDate>(Date::earlierDate_)
        .method<&laterDate>(Date::laterDate_)
        .method<&isEqualToDate>(Date::isEqualToDate_)
        .method<&isEqual>(Object::isEqual_)
        .method<&hash>(Object::hash_)
        .method<&copyWithZone>(Object::copyWithZone_)
        .method<&description>(Object::description_)
        .build();
}

} // namespace
} // namespace NS
