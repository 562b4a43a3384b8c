// NSIndexPath as tables use it: a row within a section.
#pragma once

#include "Foundation/NSObject.hpp"

namespace NS {

class GLINTMERE_EXPORT IndexPath : public Referencing<IndexPath, "NSIndexPath"> {
  public:
    // An autoreleased index path.
    static IndexPath* indexPath(long row, long section) {
        return objc::send<IndexPath*>(runtimeClass(), objc::Selector<"indexPathForRow:inSection:">(), row,
                                      section);
    }

    long row() { return objc::send<long>(this, objc::Selector<"row">()); }
    long section() { return objc::send<long>(this, objc::Selector<"section">()); }
};

} // namespace NS
