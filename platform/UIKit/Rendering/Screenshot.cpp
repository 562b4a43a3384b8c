#include "UIKit/Rendering/Screenshot.hpp"
#include "UIKit/UIImageInternals.hpp"

#include "UIKit/Rendering/Canvas.hpp"
#include "UIKit/Rendering/Scene.hpp"
#include "UIKit/Rendering/SceneSnapshot.hpp"
#include "UIKit/Text/Typesetter.hpp"
#include "UIKit/UIImage.hpp"
#include "UIKit/UIScreen.hpp"
#include "UIKit/UIView.hpp"

#include <stdexcept>

namespace UI {

std::string writeScreenshot(View* root, const std::string& path) {
    return writeScreenshot(root, path, Screen::mainScreen()->bounds().size);
}

std::string writeScreenshot(View* root, const std::string& path, CGSize points) {
    objc::Ptr(root)->layoutIfNeeded();
    const draw::Node tree = snapshotScene(root);
    draw::Canvas canvas(static_cast<int>(points.width), static_cast<int>(points.height),
                        Screen::mainScreen()->scale());
    draw::render(tree, canvas, text::Typesetter::shared());
    auto picture = objc::adopt(UI::ImageInternals::newImageWithCairoSurface(canvas.surface()));
    if (!writePNGFile(picture.get(), path)) {
        throw std::runtime_error("cannot write " + path);
    }
    return std::to_string(canvas.pixelWidth()) + "x" + std::to_string(canvas.pixelHeight());
}

} // namespace UI
