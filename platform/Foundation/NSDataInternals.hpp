// The inner workings of NSData: what the stand-in keeps and does beside what iOS declares.
#pragma once

#include "Foundation/NSData.hpp"
#include "objc/Internals.hpp"

namespace NS {

class DataInternals : public objc::Internals<DataInternals, Data> {
  public:
    OBJC_IVAR(_bytes, void*)
};

} // namespace NS
