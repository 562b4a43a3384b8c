#include "UIKit/UIImage.hpp"

#include "Foundation/NSData.hpp"
#include "Foundation/NSString.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

#include <cairo.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string_view>

namespace UI {
namespace {

cairo_surface_t* surfaceOf(const Image* self) {
    return static_cast<cairo_surface_t*>(objc::ivar<void*>(self, "_surface"));
}

// Takes over one reference to `surface`; an image that cannot be made releases itself.
Image* adoptSurface(objc::Ptr<Image> self, cairo_surface_t* surface) {
    if (surface == nullptr || cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS ||
        cairo_surface_get_type(surface) != CAIRO_SURFACE_TYPE_IMAGE) {
        if (surface != nullptr) {
            cairo_surface_destroy(surface);
        }
        self->release();
        return nullptr;
    }
    objc::setIvar<void*>(self, "_surface", surface);
    return self;
}

// PNG files start with these eight bytes; checking them first keeps other formats (and
// directories, devices, half-written files) from reaching the decoder at all.
constexpr std::string_view pngSignature{"\x89PNG\r\n\x1a\n", 8};

bool hasPngSignature(const char* path) {
    FILE* f = std::fopen(path, "rb");
    if (f == nullptr) {
        return false;
    }
    char head[8] = {};
    const bool ok =
        std::fread(head, 1, sizeof head, f) == sizeof head && std::string_view(head, 8) == pngSignature;
    std::fclose(f);
    return ok;
}

struct ByteReader {
    const unsigned char* bytes;
    std::size_t length;
    std::size_t offset = 0;
};

cairo_status_t readBytes(void* closure, unsigned char* out, unsigned int length) {
    auto* reader = static_cast<ByteReader*>(closure);
    if (reader->length - reader->offset < length) {
        return CAIRO_STATUS_READ_ERROR;
    }
    std::memcpy(out, reader->bytes + reader->offset, length);
    reader->offset += length;
    return CAIRO_STATUS_SUCCESS;
}

cairo_status_t appendBytes(void* closure, const unsigned char* data, unsigned int length) {
    static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
    return CAIRO_STATUS_SUCCESS;
}

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<Image>()
        .ivar<void*>("_surface")
        .method(Image::imageWithContentsOfFile_,
                [](Class cls, NS::String* path) -> Image* {
                    return Image::alloc_.send(cls)->initWithContentsOfFile(path)->autorelease();
                })
        .method(Image::initWithContentsOfFile_,
                [](Image* self, NS::String* path) -> Image* {
                    auto image = Image::init_.super<Image>(self);
                    if (image == nullptr) {
                        return nullptr;
                    }
                    const char* p = objc::Ptr(path)->utf8String();
                    if (p == nullptr || !hasPngSignature(p)) {
                        image->release();
                        return nullptr;
                    }
                    return adoptSurface(image, cairo_image_surface_create_from_png(p));
                })
        .method(Image::initWithData_,
                [](Image* self, NS::Data* data) -> Image* {
                    auto image = Image::init_.super<Image>(self);
                    if (image == nullptr) {
                        return nullptr;
                    }
                    ByteReader reader{static_cast<const unsigned char*>(objc::Ptr(data)->bytes()),
                                      objc::Ptr(data)->length()};
                    if (reader.bytes == nullptr || reader.length < pngSignature.size() ||
                        std::memcmp(reader.bytes, pngSignature.data(), pngSignature.size()) != 0) {
                        image->release();
                        return nullptr;
                    }
                    return adoptSurface(image,
                                        cairo_image_surface_create_from_png_stream(&readBytes, &reader));
                })
        .method(Image::size_,
                [](Image* self) -> CGSize {
                    cairo_surface_t* s = surfaceOf(self);
                    if (s == nullptr) {
                        return {};
                    }
                    return CGSize{static_cast<CGFloat>(cairo_image_surface_get_width(s)),
                                  static_cast<CGFloat>(cairo_image_surface_get_height(s))};
                })
        .method(Image::scale_, [](Image*) -> CGFloat { return 1.0; })
        .method(Image::cairoSurface_, [](Image* self) -> cairo_surface_t* { return surfaceOf(self); })
        .method(NS::Object::dealloc_,
                [](Image* self) {
                    if (cairo_surface_t* s = surfaceOf(self)) {
                        cairo_surface_destroy(s);
                    }
                    NS::Object::dealloc_.super<Image>(self);
                })
        .build();
}

} // namespace

Image* Image::newImageWithCairoSurface(cairo_surface_t* surface) {
    return adoptSurface(Image::alloc()->init(), cairo_surface_reference(surface));
}

std::string pngBytes(Image* image) {
    cairo_surface_t* s = surfaceOf(image);
    std::string bytes;
    if (s == nullptr || cairo_surface_write_to_png_stream(s, &appendBytes, &bytes) != CAIRO_STATUS_SUCCESS) {
        return {};
    }
    return bytes;
}

bool writePNGFile(Image* image, const std::string& path) {
    const std::string bytes = pngBytes(image);
    if (bytes.empty()) {
        return false;
    }
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path target = path;
    fs::create_directories(target.parent_path(), ec);
    std::string temporary = (target.parent_path() / ("." + target.filename().string() + ".XXXXXX")).string();
    const int fd = mkstemp(temporary.data());
    if (fd < 0) {
        return false;
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0) {
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    // Others read the picture with their own permissions, as the device's own writers leave it.
    const bool written = done == bytes.size() && fchmod(fd, 0644) == 0 && fsync(fd) == 0;
    if (::close(fd) != 0 || !written || std::rename(temporary.c_str(), path.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

} // namespace UI

NS::Data* UIImagePNGRepresentation(UI::Image* image) {
    const std::string bytes = UI::pngBytes(image);
    if (bytes.empty()) {
        return nullptr;
    }
    return NS::Data::dataWithBytes(static_cast<const void*>(bytes.data()),
                                   static_cast<unsigned long>(bytes.size()));
}

void UIImageWriteToSavedPhotosAlbum(UI::Image* image, id completionTarget, SEL completionSelector,
                                    void* contextInfo) {
    namespace fs = std::filesystem;
    const fs::path album = "/var/mobile/Media/DCIM/100APPLE";
    int last = 0;
    std::error_code ec;
    for (fs::directory_iterator it(album, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        int number = 0;
        char tail = 0;
        if (std::sscanf(name.c_str(), "IMG_%4d.PN%c", &number, &tail) == 2 && tail == 'G' && number > last) {
            last = number;
        }
    }
    char name[32];
    std::snprintf(name, sizeof name, "IMG_%04d.PNG", last + 1);
    const std::string path = (album / name).string();
    const bool saved = image != nullptr && UI::writePNGFile(image, path);
    if (completionTarget != nil && completionSelector != nullptr) {
        // The selector is the caller's, given as an argument: there is no declared message to send.
        objc::send(completionTarget, completionSelector, image,
                   saved ? nil : objc::toId(NS::String::string(path.c_str())), contextInfo);
    }
}
