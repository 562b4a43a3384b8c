// The inner workings of NSURL: what the stand-in keeps and does beside what iOS declares.
#pragma once

#include "Foundation/NSURL.hpp"
#include "objc/Internals.hpp"

namespace NS {

class URLInternals : public objc::Internals<URLInternals, URL> {
  public:
    OBJC_IVAR(_parts, void*)
};

} // namespace NS
