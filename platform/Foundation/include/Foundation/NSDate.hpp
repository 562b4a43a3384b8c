// NSDate: a point in wall-clock time, in seconds from 2001-01-01 00:00:00 UTC.
#pragma once

#include "Foundation/NSObject.hpp"

namespace NS {

// Seconds from 1970-01-01 to 2001-01-01, the reference date.
inline constexpr double TimeIntervalSince1970 = 978307200.0;

class GLINTMERE_EXPORT Date : public Referencing<Date, "NSDate"> {
  public:
    OBJC_CLASS_MESSAGE(date, "date", Date*())
    OBJC_CLASS_MESSAGE(dateWithTimeIntervalSinceNow, "dateWithTimeIntervalSinceNow:", Date*(double))
    OBJC_CLASS_MESSAGE(dateWithTimeIntervalSinceReferenceDate,
                       "dateWithTimeIntervalSinceReferenceDate:", Date*(double))
    OBJC_CLASS_MESSAGE(dateWithTimeIntervalSince1970, "dateWithTimeIntervalSince1970:", Date*(double))
    OBJC_CLASS_MESSAGE(distantFuture, "distantFuture", Date*())
    OBJC_CLASS_MESSAGE(distantPast, "distantPast", Date*())

    OBJC_MESSAGE(initWithTimeIntervalSinceReferenceDate,
                 "initWithTimeIntervalSinceReferenceDate:", Date*(double))
    OBJC_MESSAGE(initWithTimeIntervalSinceNow, "initWithTimeIntervalSinceNow:", Date*(double))
    OBJC_MESSAGE(initWithTimeIntervalSince1970, "initWithTimeIntervalSince1970:", Date*(double))

    OBJC_MESSAGE(timeIntervalSinceReferenceDate, "timeIntervalSinceReferenceDate", double())
    OBJC_MESSAGE(timeIntervalSinceNow, "timeIntervalSinceNow", double())
    OBJC_MESSAGE(timeIntervalSince1970, "timeIntervalSince1970", double())
    OBJC_MESSAGE(timeIntervalSinceDate, "timeIntervalSinceDate:", double(Date*))
    OBJC_MESSAGE(dateByAddingTimeInterval, "dateByAddingTimeInterval:", Date*(double))
    OBJC_MESSAGE(earlierDate, "earlierDate:", Date*(Date*))
    OBJC_MESSAGE(laterDate, "laterDate:", Date*(Date*))
    // NSOrderedAscending (-1) when this date is the earlier one, NSOrderedSame (0), NSOrderedDescending (1).
    OBJC_MESSAGE(compare, "compare:", long(Date*))
    OBJC_MESSAGE(isEqualToDate, "isEqualToDate:", bool(Date*))
};

} // namespace NS
