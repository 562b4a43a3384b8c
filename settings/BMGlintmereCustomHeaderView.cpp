#include "BMGlintmereCustomHeaderView.hpp"

#include "Foundation/NSArray.hpp"
#include "Foundation/NSString.hpp"
#include "UIKit/NSLayoutConstraint.hpp"
#include "UIKit/UIColor.hpp"
#include "UIKit/UIDevice.hpp"
#include "UIKit/UIFont.hpp"
#include "UIKit/UILabel.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

#include <cstdlib>

namespace {

using Header = BMGlintmereCustomHeaderView;
using NS::literals::operator""_ns;

// The pad's larger size only where the device answers the idiom and says pad; asked afresh each time.
bool isPad() { return UI::userInterfaceIdiom() == UI::UIUserInterfaceIdiomPad; }

// A new label of no size; owned by the caller until the header takes it as a subview.
objc::Ptr<UI::Label> newLabel() { return UI::Label::alloc()->initWithFrame(CGRect{}).as<UI::Label>(); }

// Sets the label up as the header shows its lines, one line of grey on clear, centred, and makes it
// the header's subview. Its top hangs 5 points below the line `above`, or, for the first line, at a
// fifth of the header's height; every line is centred on the header's middle.
void showLabel(Header* header, objc::Ptr<UI::Label> label, NS::String* text, double size, UI::View* above) {
    label->setNumberOfLines(1);
    label->setFont(UI::Font::fontWithName("HelveticaNeue-Light"_ns, static_cast<CGFloat>(size)));
    label->setText(text);
    label->setBackgroundColor(UI::Color::clearColor());
    label->setTextColor(UI::Color::grayColor());
    label->setTextAlignment(UI::TextAlignmentCenter);
    header->addSubview(label);
    label->setTranslatesAutoresizingMaskIntoConstraints(false);
    // The subview list holds the label from here on.
    label->release();
    header->addConstraint(
        above == nullptr
            ? NS::LayoutConstraint::constraintWithItem(label, NS::LayoutAttributeTop, NS::LayoutRelationEqual,
                                                       header, NS::LayoutAttributeBottom, 0.2, 0)
            : NS::LayoutConstraint::constraintWithItem(label, NS::LayoutAttributeTop, NS::LayoutRelationEqual,
                                                       above, NS::LayoutAttributeBottom, 1.0, 5));
    header->addConstraint(NS::LayoutConstraint::constraintWithItem(label, NS::LayoutAttributeCenterX,
                                                                   NS::LayoutRelationEqual, header,
                                                                   NS::LayoutAttributeCenterX, 1.0, 0));
}

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<Header>()
        .ivar(Header::headerLabelIvar)
        .ivar(Header::subHeaderLabelIvar)
        .ivar(Header::randomLabelIvar)
        .method(Header::headerLabel_,
                [](Header* self) -> UI::Label* {
                    return objc::ivar(self, BMGlintmereCustomHeaderView::headerLabelIvar);
                })
        .method(Header::setHeaderLabel_,
                [](Header* self, UI::Label* label) {
                    objc::setIvar(self, BMGlintmereCustomHeaderView::headerLabelIvar, label);
                })
        .method(Header::subHeaderLabel_,
                [](Header* self) -> UI::Label* {
                    return objc::ivar(self, BMGlintmereCustomHeaderView::subHeaderLabelIvar);
                })
        .method(Header::setSubHeaderLabel_,
                [](Header* self, UI::Label* label) {
                    objc::setIvar(self, BMGlintmereCustomHeaderView::subHeaderLabelIvar, label);
                })
        .method(Header::randomLabel_,
                [](Header* self) -> UI::Label* {
                    return objc::ivar(self, BMGlintmereCustomHeaderView::randomLabelIvar);
                })
        .method(Header::setRandomLabel_,
                [](Header* self, UI::Label* label) {
                    objc::setIvar(self, BMGlintmereCustomHeaderView::randomLabelIvar, label);
                })
        .method(Header::randomTexts_,
                [](Header*) -> NS::Array* {
                    return NS::Array::arrayWithObjects(
                        {"Thank you for the support."_ns, "Enjoy!"_ns, "Some Other Random Text"_ns,
                         "You Can Include However Many You Want"_ns, "Follow me on Twitter."_ns,
                         "Something should go here right?"_ns, "Hey"_ns, "Marmalade!"_ns,
                         "Shake it off!"_ns});
                })
        .method(Header::init_,
                [](Header* self) -> Header* {
                    auto made = UI::View::initWithFrame_.super<Header>(self, CGRect{}).as<Header>();
                    if (made == nullptr) {
                        return nullptr;
                    }
                    made->setHeaderLabel(newLabel());
                    showLabel(made, made->headerLabel(), "Glintmere"_ns, isPad() ? 44 : 36, nullptr);
                    made->setSubHeaderLabel(newLabel());
                    showLabel(made, made->subHeaderLabel(), "Easily Change Your Wallpaper!"_ns,
                              isPad() ? 22 : 17, made->headerLabel());
                    made->setRandomLabel(newLabel());
                    NS::Array* texts = made->randomTexts();
                    const auto index = arc4random_uniform(static_cast<std::uint32_t>(texts->count()));
                    showLabel(made, made->randomLabel(), texts->objectAtIndex(index).as<NS::String>(), 15,
                              made->subHeaderLabel());
                    return made;
                })
        .build();
}

} // namespace
