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

using objc::operator""_sel;

// Where Cocoa puts its distant dates: 4001-01-01 and 0001-01-01 (proleptic Gregorian), UTC.
constexpr double distantFutureInterval = 63113904000.0;
constexpr double distantPastInterval = -63114076800.0;

double& intervalOf(id self) { return detail::slot<double, "NSDate", "_interval">(self); }

double now() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return static_cast<double>(ts.tv_sec) - TimeIntervalSince1970 + static_cast<double>(ts.tv_nsec) * 1e-9;
}

id initNow(id self, SEL) {
    intervalOf(self) = now();
    return self;
}
id initWithReference(id self, SEL, double seconds) {
    intervalOf(self) = seconds;
    return self;
}
id initSinceNow(id self, SEL, double seconds) {
    intervalOf(self) = now() + seconds;
    return self;
}
id initSince1970(id self, SEL, double seconds) {
    intervalOf(self) = seconds - TimeIntervalSince1970;
    return self;
}

id made(id owned) { return objc::send<id>(owned, "autorelease"_sel); }
id alloc(Class cls) { return objc::send<id>(cls, "alloc"_sel); }

id date(Class cls, SEL) { return made(objc::send<id>(alloc(cls), "init"_sel)); }
id withReference(Class cls, SEL, double s) {
    return made(objc::send<id>(alloc(cls), "initWithTimeIntervalSinceReferenceDate:"_sel, s));
}
id withSinceNow(Class cls, SEL, double s) {
    return made(objc::send<id>(alloc(cls), "initWithTimeIntervalSinceNow:"_sel, s));
}
id withSince1970(Class cls, SEL, double s) {
    return made(objc::send<id>(alloc(cls), "initWithTimeIntervalSince1970:"_sel, s));
}
id distantFuture(Class cls, SEL) {
    return made(
        objc::send<id>(alloc(cls), "initWithTimeIntervalSinceReferenceDate:"_sel, distantFutureInterval));
}
id distantPast(Class cls, SEL) {
    return made(
        objc::send<id>(alloc(cls), "initWithTimeIntervalSinceReferenceDate:"_sel, distantPastInterval));
}

double sinceReference(id self, SEL) { return intervalOf(self); }
double sinceNow(id self, SEL) { return intervalOf(self) - now(); }
double since1970(id self, SEL) { return intervalOf(self) + TimeIntervalSince1970; }
double otherInterval(id other) { return objc::send<double>(other, "timeIntervalSinceReferenceDate"_sel); }
double sinceDate(id self, SEL, id other) { return intervalOf(self) - otherInterval(other); }

id addingInterval(id self, SEL, double seconds) {
    return made(objc::send<id>(alloc(object_getClass(self)), "initWithTimeIntervalSinceReferenceDate:"_sel,
                               intervalOf(self) + seconds));
}

long compare(id self, SEL, id other) {
    double a = intervalOf(self);
    double b = otherInterval(other);
    return a < b ? -1 : (a > b ? 1 : 0);
}
id earlierDate(id self, SEL sel, id other) {
    return other == nil || compare(self, sel, other) <= 0 ? self : other;
}
id laterDate(id self, SEL sel, id other) {
    return other == nil || compare(self, sel, other) >= 0 ? self : other;
}

bool isEqualToDate(id self, SEL, id other) {
    return detail::isKind(other, "NSDate") && intervalOf(self) == otherInterval(other);
}
unsigned long hash(id self, SEL) {
    double v = intervalOf(self);
    std::uint64_t bits = 0;
    std::memcpy(&bits, &v, sizeof bits);
    return static_cast<unsigned long>(bits ^ (bits >> 29));
}
id copyWithZone(id self, SEL, void*) { return objc::send<id>(self, "retain"_sel); }

// "2001-01-01 00:00:00 +0000", as Cocoa describes a date.
id description(id self, SEL) {
    double whole = std::floor(intervalOf(self) + TimeIntervalSince1970);
    // Far outside what gmtime can take, say so rather than print garbage.
    if (!(std::fabs(whole) < 1e15)) {
        return objc::toId(String::string("(date out of range)"));
    }
    time_t t = static_cast<time_t>(whole);
    tm parts{};
    gmtime_r(&t, &parts);
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d +0000", parts.tm_year + 1900,
                  parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec);
    return objc::toId(String::string(buffer));
}

GLINTMERE_REGISTER_CLASSES {
    objc::ClassBuilder("NSDate", "NSObject")
        .ivar<double>("_interval")
        .classMethod<&date>("date")
        .classMethod<&withReference>("dateWithTimeIntervalSinceReferenceDate:")
        .classMethod<&withSinceNow>("dateWithTimeIntervalSinceNow:")
        .classMethod<&withSince1970>("dateWithTimeIntervalSince1970:")
        .classMethod<&distantFuture>("distantFuture")
        .classMethod<&distantPast>("distantPast")
        .method<&initNow>("init")
        .method<&initWithReference>("initWithTimeIntervalSinceReferenceDate:")
        .method<&initSinceNow>("initWithTimeIntervalSinceNow:")
        .method<&initSince1970>("initWithTimeIntervalSince1970:")
        .method<&sinceReference>("timeIntervalSinceReferenceDate")
        .method<&sinceNow>("timeIntervalSinceNow")
        .method<&since1970>("timeIntervalSince1970")
        .method<&sinceDate>("timeIntervalSinceDate:")
        .method<&addingInterval>("dateByAddingTimeInterval:")
        .method<&compare>("compare:")
        .method<&earlierDate>("earlierDate:")
        .method<&laterDate>("laterDate:")
        .method<&isEqualToDate>("isEqualToDate:")
        .method<&isEqualToDate>("isEqual:")
        .method<&hash>("hash")
        .method<&copyWithZone>("copyWithZone:")
        .method<&description>("description")
        .build();
}

} // namespace
} // namespace NS
