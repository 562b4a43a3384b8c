#include "UIKit/UIImageView.hpp"
#include "UIKit/UIColorInternals.hpp"
#include "UIKit/UIImageInternals.hpp"
#include "UIKit/UIImageViewInternals.hpp"
#include "UIKit/UIViewInternals.hpp"

#include "Foundation/NSString.hpp"
#include "UIKit/Layout/LayoutPass.hpp"
#include "UIKit/Rendering/SceneSnapshot.hpp"
#include "UIKit/UIColor.hpp"
#include "UIKit/UIImage.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

namespace UI {
namespace {

ImageView* initWithImage(ImageView* self, Image* image) {
    const CGSize size = objc::Ptr(image)->size();
    auto view = self->initWithFrame(CGRectMake(0, 0, size.width, size.height)).as<ImageView>();
    view->setImage(image);
    return view;
}

Image* image(ImageView* self) { return objc::ivar(self, UI::ImageViewInternals::_image); }

void setImage(ImageView* self, Image* image) {
    objc::storeOwned(self, UI::ImageViewInternals::_image, image);
    layoutChanged();
}

CGSize intrinsicContentSize(ImageView* self) {
    auto image = self->image();
    if (image == nullptr) {
        return CGSize{ViewNoIntrinsicMetric, ViewNoIntrinsicMetric};
    }
    return image->size();
}

CGSize sizeThatFits(ImageView* self, CGSize size) {
    auto image = self->image();
    return image != nullptr ? image->size() : size;
}

void fillSceneNode(ImageView* self, draw::Node* node) {
    ViewInternals::fillSceneNode_.super<ImageView>(self, node);
    if (node == nullptr) {
        return;
    }
    draw::Node::Picture picture;
    auto image = self->image();
    picture.surface = UI::ImageInternals::of(image)->cairoSurface();
    picture.file = image == nullptr ? "nil" : UI::ImageInternals::of(image)->fileName()->str();
    if (image->renderingMode() == ImageRenderingModeAlwaysTemplate) {
        picture.tint = sceneColor(rgbaOf(self->tintColor()).value_or(defaultTintColor()));
    }
    node->image = picture;
}

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<ImageView>()
        .ivar(ImageViewInternals::_image)
        .method<&initWithImage>(ImageView::initWithImage_)
        .method<&image>(ImageView::image_)
        .method<&setImage>(ImageView::setImage_)
        .method<&intrinsicContentSize>(View::intrinsicContentSize_)
        .method<&sizeThatFits>(View::sizeThatFits_)
        .method<&fillSceneNode>(ViewInternals::fillSceneNode_)
        .build();
}

} // namespace
} // namespace UI
