#include "BMGlintmereDeveloperTableCell.hpp"

#include "BMGlintmereLocalizer.hpp"
#include "Foundation/NSBundle.hpp"
#include "Foundation/NSString.hpp"
#include "UIKit/CALayer.hpp"
#include "UIKit/NSLayoutConstraint.hpp"
#include "UIKit/UIColor.hpp"
#include "UIKit/UIDevice.hpp"
#include "UIKit/UIFont.hpp"
#include "UIKit/UIImage.hpp"
#include "UIKit/UIImageView.hpp"
#include "UIKit/UILabel.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

#include <string>

namespace {

using Cell = BMGlintmereDeveloperTableCell;
using NS::literals::operator""_ns;

// The display name is larger on a pad; a device that cannot tell its idiom counts as a phone.
CGFloat devNameSize() { return UI::userInterfaceIdiom() == UI::UIUserInterfaceIdiomPad ? 30 : 20; }

// One of the three lines, of no size until the layout pass gives it its text's: made, styled and
// put on the cell itself.
objc::Ref<UI::Label> addLine(Cell* cell, NS::String* text, CGFloat size, UI::Color* colour) {
    auto label = objc::adopt(UI::Label::alloc()->initWithFrame(CGRect{}).as<UI::Label>());
    label->setText(text);
    label->setTextColor(colour);
    label->setBackgroundColor(UI::Color::clearColor());
    label->setFont(UI::Font::fontWithName("Helvetica Light"_ns, size));
    label->setTextAlignment(UI::TextAlignmentCenter);
    cell->addSubview(label);
    label->setTranslatesAutoresizingMaskIntoConstraints(false);
    return label;
}

// item.attribute = 1 × toItem.toAttribute + constant, installed on the cell.
void constrain(Cell* cell, UI::View* item, NS::LayoutAttribute attribute, UI::View* toItem,
               NS::LayoutAttribute toAttribute, CGFloat constant) {
    cell->addConstraint(NS::LayoutConstraint::constraintWithItem(item, attribute, NS::LayoutRelationEqual,
                                                                 toItem, toAttribute, 1.0, constant));
}

// A portrait is named by its base name in the bundle: a name with a folder in it, or one that is a
// folder (".", ".."), would reach past the bundle.
bool isBaseName(NS::String* name) {
    const std::string text = name != nullptr ? name->str() : std::string();
    return !text.empty() && text != "." && text != ".." && text.find('/') == std::string::npos &&
           text.find('\0') == std::string::npos;
}

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<Cell>()
        .property(Cell::devImageView_, Cell::setDevImageView_)
        .property(Cell::devNameLabel_, Cell::setDevNameLabel_)
        .property(Cell::realNameLabel_, Cell::setRealNameLabel_)
        .property(Cell::jobLabel_, Cell::setJobLabel_)
        // The host's style and reuse identifier are not used, nor is the specifier kept: the cell is
        // built once from what the row says. The picture comes from the settings bundle alone.
        .method(PS::TableCell::initWithStyleReuseIdentifierSpecifier_,
                [](Cell* self, long, NS::String*, objc::Ptr<PS::Specifier> specifier) -> PS::TableCell* {
                    auto bundle = BMGlintmereLocalizer::sharedLocalizer()->localizationBundle();
                    auto imageName = NS::cast<NS::String>(specifier->propertyForKey("devImage"_ns));
                    auto image =
                        objc::adopt(isBaseName(imageName) ? UI::Image::alloc()->initWithContentsOfFile(
                                                                bundle->pathForResource(imageName, "png"_ns))
                                                          : nullptr);
                    auto text = [&](NS::String* key) {
                        return NS::cast<NS::String>(specifier->propertyForKey(key));
                    };
                    return self->initWithDevName(text("devName"_ns), text("realName"_ns), text("job"_ns),
                                                 image);
                })
        .method(
            Cell::initWithDevNameRealNameJobSubtitleDevImage_,
            [](Cell* self, NS::String* devName, NS::String* realName, NS::String* job,
               UI::Image* devImage) -> Cell* {
                auto cell =
                    UI::TableViewCell::initWithStyleReuseIdentifier_
                        .super<Cell>(self, UI::TableViewCellStyleDefault, "BMGlintmereDeveloperTableCell"_ns)
                        .as<Cell>();
                if (cell == nullptr) {
                    return nullptr;
                }
                auto picture = objc::adopt(UI::ImageView::alloc()->initWithImage(devImage));
                cell->setDevImageView(picture);
                picture->setFrame(CGRect{{10, 15}, {70, 70}});
                auto layer = picture->layer();
                layer->setShadowColor(UI::Color::blackColor()->CGColor());
                layer->setShadowOffset(CGSize{0, 1});
                layer->setShadowOpacity(0.2f);
                layer->setShadowRadius(1);
                // The shadow falls outside the picture's bounds.
                picture->setClipsToBounds(false);
                cell->addSubview(picture);

                auto name = addLine(cell, devName, devNameSize(), UI::Color::darkGrayColor());
                cell->setDevNameLabel(name);
                constrain(cell, name.get(), NS::LayoutAttributeLeft, picture.get(), NS::LayoutAttributeRight,
                          30);
                constrain(cell, name.get(), NS::LayoutAttributeCenterY, cell, NS::LayoutAttributeCenterY,
                          -20);

                auto real = addLine(cell, realName, 15, UI::Color::grayColor());
                cell->setRealNameLabel(real);
                constrain(cell, real.get(), NS::LayoutAttributeLeft, picture.get(), NS::LayoutAttributeRight,
                          30);
                constrain(cell, real.get(), NS::LayoutAttributeTop, name.get(), NS::LayoutAttributeBottom, 0);

                auto role = addLine(cell, job, 12, UI::Color::grayColor());
                cell->setJobLabel(role);
                constrain(cell, role.get(), NS::LayoutAttributeLeft, picture.get(), NS::LayoutAttributeRight,
                          30);
                constrain(cell, role.get(), NS::LayoutAttributeTop, real.get(), NS::LayoutAttributeBottom, 5);
                return cell;
            })
        .build();
}

} // namespace
