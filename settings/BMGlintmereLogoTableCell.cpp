#include "BMGlintmereLogoTableCell.hpp"

#include "Foundation/NSString.hpp"
#include "UIKit/CALayer.hpp"
#include "UIKit/NSLayoutConstraint.hpp"
#include "UIKit/UIColor.hpp"
#include "UIKit/UIImage.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

namespace {

using Cell = BMGlintmereLogoTableCell;

// Read from the installed bundle wherever the code itself was loaded from.
constexpr const char* kLogoPath = "/Library/PreferenceBundles/Glintmere.bundle/footerLogo.png";
constexpr CGFloat kLogoSide = 80;

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<Cell>()
        .ivar(Cell::logoImageViewIvar)
        .method(Cell::logoImageView_,
                [](Cell* self) -> UI::ImageView* {
                    return objc::ivar(self, BMGlintmereLogoTableCell::logoImageViewIvar);
                })
        .method(Cell::setLogoImageView_,
                [](Cell* self, UI::ImageView* view) {
                    objc::storeOwned(self, BMGlintmereLogoTableCell::logoImageViewIvar, view);
                })
        .method(Cell::init_,
                [](Cell* self) -> Cell* {
                    auto made = UI::View::initWithFrame_.super<Cell>(self, CGRect{}).as<Cell>();
                    if (made == nullptr) {
                        return nullptr;
                    }
                    // A missing or unreadable file leaves the picture empty; it is placed all the same.
                    auto image = objc::adopt(
                        UI::Image::alloc()->initWithContentsOfFile(NS::String::string(kLogoPath)));
                    auto logo = objc::adopt(UI::ImageView::alloc()->initWithImage(image.get()));
                    made->setLogoImageView(logo.get());
                    auto shown = made->logoImageView();
                    shown->setFrame(CGRectMake(0, 0, kLogoSide, kLogoSide));
                    auto layer = shown->layer();
                    layer->setShadowColor(UI::Color::blackColor()->CGColor());
                    layer->setShadowOffset(CGSize{0, 1});
                    layer->setShadowOpacity(0.2F);
                    layer->setShadowRadius(1);
                    shown->setClipsToBounds(false);
                    made->addSubview(shown);
                    shown->setTranslatesAutoresizingMaskIntoConstraints(false);
                    made->addConstraint(NS::LayoutConstraint::constraintWithItem(
                        shown, NS::LayoutAttributeCenterX, NS::LayoutRelationEqual, made,
                        NS::LayoutAttributeCenterX, 1.0, 0));
                    return made;
                })
        .build();
}

} // namespace
