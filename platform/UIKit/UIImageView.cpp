#include "UIKit/UIImageView.hpp"

#include "Foundation/NSString.hpp"
#include "UIKit/LayoutPass.hpp"
#include "UIKit/SceneSnapshot.hpp"
#include "UIKit/UIColor.hpp"
#include "UIKit/UIImage.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

namespace UI {
namespace {

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<ImageView>()
        .ivar<Image*>("_image", objc::Ownership::Owning)
        .method(ImageView::initWithImage_,
                [](ImageView* self, Image* image) -> ImageView* {
                    const CGSize size = objc::Ptr(image)->size();
                    auto view =
                        self->initWithFrame(CGRectMake(0, 0, size.width, size.height)).as<ImageView>();
                    view->setImage(image);
                    return view;
                })
        .method(ImageView::image_,
                [](ImageView* self) -> Image* { return objc::ivar<Image*>(self, "_image"); })
        .method(ImageView::setImage_,
                [](ImageView* self, Image* image) {
                    objc::Ptr(image)->retain();
                    auto old = objc::ivar<Image*>(self, "_image");
                    objc::setIvar<Image*>(self, "_image", image);
                    objc::Ptr(old)->release();
                    layoutChanged();
                })
        .method(View::intrinsicContentSize_,
                [](ImageView* self) -> CGSize {
                    auto image = self->image();
                    if (image == nullptr) {
                        return CGSize{ViewNoIntrinsicMetric, ViewNoIntrinsicMetric};
                    }
                    return image->size();
                })
        .method(View::sizeThatFits_,
                [](ImageView* self, CGSize size) -> CGSize {
                    auto image = self->image();
                    return image != nullptr ? image->size() : size;
                })
        .method(View::fillSceneNode_,
                [](ImageView* self, draw::Node* node) {
                    View::fillSceneNode_.super<ImageView>(self, node);
                    if (node == nullptr) {
                        return;
                    }
                    draw::Node::Picture picture;
                    auto image = self->image();
                    picture.surface = image->cairoSurface();
                    picture.file = image == nullptr ? "nil" : image->fileName()->str();
                    if (image->renderingMode() == ImageRenderingModeAlwaysTemplate) {
                        picture.tint = sceneColor(rgbaOf(self->tintColor()).value_or(defaultTintColor()));
                    }
                    node->image = picture;
                })
        .build();
}

} // namespace
} // namespace UI
