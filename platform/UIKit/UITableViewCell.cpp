#include "UIKit/UITableViewCell.hpp"

#include "UIKit/UILabel.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

namespace {

using objc::operator""_sel;

constexpr CGRect kRowFrame = {{0, 0}, {320, 44}};

Class cellClass() { return objc_lookUpClass("UITableViewCell"); }

// A new view of `cls` added to `parent`; the caller owns it too, so that a part taken out of the
// tree by a custom cell stays valid.
id addPart(id parent, const char* cls, CGRect frame) {
    id part = objc::send<id>(objc::send<id>(objc_lookUpClass(cls), "alloc"_sel), "initWithFrame:"_sel, frame);
    objc::send(parent, "addSubview:"_sel, part);
    return part;
}

id initWithStyle(id self, SEL, long style, id reuseIdentifier) {
    // UIView's initialiser, not ours: initWithFrame: of a cell comes back here.
    self = objc::sendSuper<id>(cellClass(), self, "initWithFrame:"_sel, kRowFrame);
    if (self == nil) {
        return nil;
    }
    objc::setIvar<long>(self, "_style", style);
    objc::setIvar<id>(self, "_reuseIdentifier", objc::send<id>(reuseIdentifier, "copy"_sel));
    id content = addPart(self, "UIView", kRowFrame);
    objc::setIvar<id>(self, "_contentView", content);
    objc::setIvar<id>(self, "_textLabel", addPart(content, "UILabel", CGRectMake(15, 0, 290, 44)));
    if (style != UI::TableViewCellStyleDefault) {
        objc::setIvar<id>(self, "_detailTextLabel", addPart(content, "UILabel", CGRectMake(160, 0, 145, 44)));
    }
    return self;
}

id initWithFrame(id self, SEL, CGRect frame) {
    self = objc::send<id>(self, "initWithStyle:reuseIdentifier:"_sel,
                          static_cast<long>(UI::TableViewCellStyleDefault), static_cast<id>(nil));
    objc::send(self, "setFrame:"_sel, frame);
    return self;
}

long style(id self, SEL) { return objc::ivar<long>(self, "_style"); }
id reuseIdentifier(id self, SEL) { return objc::ivar<id>(self, "_reuseIdentifier"); }
id contentView(id self, SEL) { return objc::ivar<id>(self, "_contentView"); }
id textLabel(id self, SEL) { return objc::ivar<id>(self, "_textLabel"); }
id detailTextLabel(id self, SEL) { return objc::ivar<id>(self, "_detailTextLabel"); }

GLINTMERE_REGISTER_CLASSES {
    objc::ClassBuilder("UITableViewCell", "UIView")
        .ivar<long>("_style")
        .ivar<id>("_reuseIdentifier", objc::Ownership::Owning)
        .ivar<id>("_contentView", objc::Ownership::Owning)
        .ivar<id>("_textLabel", objc::Ownership::Owning)
        .ivar<id>("_detailTextLabel", objc::Ownership::Owning)
        .method<&initWithStyle>("initWithStyle:reuseIdentifier:")
        .method<&initWithFrame>("initWithFrame:")
        .method<&style>("style")
        .method<&reuseIdentifier>("reuseIdentifier")
        .method<&contentView>("contentView")
        .method<&textLabel>("textLabel")
        .method<&detailTextLabel>("detailTextLabel")
        .build();
}

} // namespace
