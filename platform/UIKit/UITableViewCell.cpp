#include "UIKit/UITableViewCell.hpp"

#include "Foundation/NSString.hpp"
#include "UIKit/UILabel.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

namespace {

using UI::Label;
using UI::TableViewCell;
using UI::View;

constexpr CGRect kRowFrame = {{0, 0}, {320, 44}};

// A new view of `Part` added to `parent`; the caller owns it too, so that a part taken out of the
// tree by a custom cell stays valid.
template <class Part> Part* addPart(objc::Ptr<View> parent, CGRect frame) {
    auto part = Part::alloc()->initWithFrame(frame).template as<Part>();
    parent->addSubview(part);
    return part;
}

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<TableViewCell>()
        .ivar<long>("_style")
        .ivar<NS::Object*>("_reuseIdentifier", objc::Ownership::Owning)
        .ivar<View*>("_contentView", objc::Ownership::Owning)
        .ivar<Label*>("_textLabel", objc::Ownership::Owning)
        .ivar<Label*>("_detailTextLabel", objc::Ownership::Owning)
        .method(TableViewCell::initWithStyleReuseIdentifier_,
                [](TableViewCell* self, long style, NS::String* reuseIdentifier) -> TableViewCell* {
                    // UIView's initialiser, not ours: initWithFrame: of a cell comes back here.
                    auto cell =
                        View::initWithFrame_.super<TableViewCell>(self, kRowFrame).as<TableViewCell>();
                    if (cell == nullptr) {
                        return nullptr;
                    }
                    objc::setIvar<long>(cell, "_style", style);
                    objc::setIvar<NS::Object*>(cell, "_reuseIdentifier", objc::Ptr(reuseIdentifier)->copy());
                    View* content = addPart<View>(cell, kRowFrame);
                    objc::setIvar<View*>(cell, "_contentView", content);
                    objc::setIvar<Label*>(cell, "_textLabel",
                                          addPart<Label>(content, CGRectMake(15, 0, 290, 44)));
                    if (style != UI::TableViewCellStyleDefault) {
                        objc::setIvar<Label*>(cell, "_detailTextLabel",
                                              addPart<Label>(content, CGRectMake(160, 0, 145, 44)));
                    }
                    return cell;
                })
        .method(View::initWithFrame_,
                [](TableViewCell* self, CGRect frame) -> View* {
                    auto cell =
                        self->initWithStyle(static_cast<long>(UI::TableViewCellStyleDefault), nullptr);
                    cell->setFrame(frame);
                    return cell;
                })
        .method(TableViewCell::style_,
                [](TableViewCell* self) -> long { return objc::ivar<long>(self, "_style"); })
        .method(TableViewCell::reuseIdentifier_,
                [](TableViewCell* self) -> NS::String* {
                    return objc::ivar<NS::String*>(self, "_reuseIdentifier");
                })
        .method(TableViewCell::contentView_,
                [](TableViewCell* self) -> View* { return objc::ivar<View*>(self, "_contentView"); })
        .method(TableViewCell::textLabel_,
                [](TableViewCell* self) -> Label* { return objc::ivar<Label*>(self, "_textLabel"); })
        .method(TableViewCell::detailTextLabel_,
                [](TableViewCell* self) -> Label* { return objc::ivar<Label*>(self, "_detailTextLabel"); })
        .build();
}

} // namespace
