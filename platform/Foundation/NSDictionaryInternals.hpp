// The inner workings of NSDictionary and NSMutableDictionary: what the stand-in keeps and does beside what
// iOS declares.
#pragma once

#include "Foundation/NSDictionary.hpp"
#include "objc/Internals.hpp"

namespace NS {

class DictionaryInternals : public objc::Internals<DictionaryInternals, Dictionary> {
  public:
    OBJC_IVAR(_table, void*)
};

} // namespace NS
