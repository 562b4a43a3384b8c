#include "UIKit/UIImage.hpp"

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

using objc::operator""_sel;

Class imageClass() { return objc_lookUpClass("UIImage"); }

cairo_surface_t* surfaceOf(id self) {
    return static_cast<cairo_surface_t*>(objc::ivar<void*>(self, "_surface"));
}

// Takes over one reference to `surface`; an image that cannot be made releases itself.
id adoptSurface(id self, cairo_surface_t* surface) {
    if (surface == nullptr || cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS ||
        cairo_surface_get_type(surface) != CAIRO_SURFACE_TYPE_IMAGE) {
        if (surface != nullptr) {
            cairo_surface_destroy(surface);
        }
        objc::send(self, "release"_sel);
        return nil;
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

id initWithContentsOfFile(id self, SEL, NS::String* path) {
    self = objc::sendSuper<id>(imageClass(), self, "init"_sel);
    if (self == nil) {
        return nil;
    }
    const char* p = objc::send<const char*>(path, "UTF8String"_sel);
    if (p == nullptr || !hasPngSignature(p)) {
        objc::send(self, "release"_sel);
        return nil;
    }
    return adoptSurface(self, cairo_image_surface_create_from_png(p));
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

id initWithData(id self, SEL, id data) {
    self = objc::sendSuper<id>(imageClass(), self, "init"_sel);
    if (self == nil) {
        return nil;
    }
    ByteReader reader{static_cast<const unsigned char*>(objc::send<const void*>(data, "bytes"_sel)),
                      objc::send<unsigned long>(data, "length"_sel)};
    if (reader.bytes == nullptr || reader.length < pngSignature.size() ||
        std::memcmp(reader.bytes, pngSignature.data(), pngSignature.size()) != 0) {
        objc::send(self, "release"_sel);
        return nil;
    }
    return adoptSurface(self, cairo_image_surface_create_from_png_stream(&readBytes, &reader));
}

id imageWithContentsOfFile(Class cls, SEL, NS::String* path) {
    id image = objc::send<id>(objc::send<id>(cls, "alloc"_sel), "initWithContentsOfFile:"_sel, path);
    return objc::send<id>(image, "autorelease"_sel);
}

CGSize size(id self, SEL) {
    cairo_surface_t* s = surfaceOf(self);
    if (s == nullptr) {
        return {};
    }
    return CGSize{static_cast<CGFloat>(cairo_image_surface_get_width(s)),
                  static_cast<CGFloat>(cairo_image_surface_get_height(s))};
}

CGFloat scale(id, SEL) { return 1.0; }
void* cairoSurface(id self, SEL) { return surfaceOf(self); }

void dealloc(id self, SEL sel) {
    if (cairo_surface_t* s = surfaceOf(self)) {
        cairo_surface_destroy(s);
    }
    objc::sendSuper(imageClass(), self, sel);
}

cairo_status_t appendBytes(void* closure, const unsigned char* data, unsigned int length) {
    static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
    return CAIRO_STATUS_SUCCESS;
}

GLINTMERE_REGISTER_CLASSES {
    objc::ClassBuilder("UIImage", "NSObject")
        .ivar<void*>("_surface")
        .classMethod<&imageWithContentsOfFile>("imageWithContentsOfFile:")
        .method<&initWithContentsOfFile>("initWithContentsOfFile:")
        .method<&initWithData>("initWithData:")
        .method<&size>("size")
        .method<&scale>("scale")
        .method<&cairoSurface>("_cairoSurface")
        .method<&dealloc>("dealloc")
        .build();
}

} // namespace

Image* Image::newImageWithCairoSurface(cairo_surface_t* surface) {
    id image = objc::send<id>(objc::send<id>(imageClass(), "alloc"_sel), "init"_sel);
    return reinterpret_cast<Image*>(adoptSurface(image, cairo_surface_reference(surface)));
}

std::string pngBytes(Image* image) {
    cairo_surface_t* s = surfaceOf(objc::toId(image));
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
    return objc::send<NS::Data*>(objc_lookUpClass("NSData"), objc::Selector<"dataWithBytes:length:">(),
                                 static_cast<const void*>(bytes.data()),
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
        objc::send(completionTarget, completionSelector, image,
                   saved ? nil : objc::toId(NS::String::string(path.c_str())), contextInfo);
    }
}
