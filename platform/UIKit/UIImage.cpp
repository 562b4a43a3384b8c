#include "UIKit/UIImage.hpp"
#include "UIKit/UIImageInternals.hpp"

#include "UIKit/Images/PNGDecoder.hpp"
#include "UIKit/Images/PNGEncoder.hpp"

#include "Foundation/AtomicFile.hpp"
#include "Foundation/NSData.hpp"
#include "Foundation/NSString.hpp"
#include "Foundation/RegularFile.hpp"
#include "UIKit/UIScreen.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

#include <cairo.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <memory>
#include <mutex>
#include <set>
#include <string_view>
#include <thread>
#include <utility>

namespace UI {
namespace {

// Makes the folders on the way to `path` that are missing; false when that fails.
bool makeFolderOf(const std::string& path) {
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    return !ec;
}

// An image's PNG encoding, made once: by whoever needs it first, or ahead of time in the
// background. An image's pixels never change, so the bytes stay right for as long as it lives.
// Encoding ahead may also stage the bytes on disk, for files to be made from them without a wait.
class Encoding {
  public:
    explicit Encoding(cairo_surface_t* pixels) : pixels_(cairo_surface_reference(pixels)) {}
    ~Encoding() {
        if (pixels_ != nullptr) {
            cairo_surface_destroy(pixels_);
        }
    }
    Encoding(const Encoding&) = delete;
    Encoding& operator=(const Encoding&) = delete;

    // Asks that the bytes be staged in `folder` once encoded, unless encoding has begun already.
    void stageIn(std::string folder) {
        std::lock_guard guard(lock_);
        if (pixels_ != nullptr) {
            stagingFolder_ = std::move(folder);
        }
    }

    // Encodes (and stages, when asked to), unless someone has begun already.
    void run() {
        cairo_surface_t* pixels;
        std::string folder;
        {
            std::lock_guard guard(lock_);
            if (pixels_ == nullptr) {
                return;
            }
            pixels = std::exchange(pixels_, nullptr);
            folder = stagingFolder_;
        }
        std::string out = encodePNG(pixels);
        cairo_surface_destroy(pixels);
        {
            std::lock_guard guard(lock_);
            bytes_ = std::move(out);
            encoded_ = true;
        }
        finished_.notify_all();
        std::unique_ptr<NS::detail::StagedFile> staged;
        if (!folder.empty() && !bytes_.empty()) {
            staged = NS::detail::StagedFile::stage(folder.c_str(), bytes_);
        }
        {
            std::lock_guard guard(lock_);
            staged_ = std::move(staged);
            settled_ = true;
        }
        finished_.notify_all();
    }

    // The bytes (empty when encoding failed), encoded here when no one has begun, else waited for.
    const std::string& bytes() {
        run();
        std::unique_lock guard(lock_);
        finished_.wait(guard, [this] { return encoded_; });
        return bytes_;
    }

    // The bytes on disk, once staged; null when they were not to be, or could not be. With `wait`,
    // a staging under way is waited for; without, only one that is over counts.
    const NS::detail::StagedFile* staged(bool wait) {
        if (wait) {
            run();
        }
        std::unique_lock guard(lock_);
        if (wait) {
            finished_.wait(guard, [this] { return settled_; });
        }
        return settled_ ? staged_.get() : nullptr;
    }

    // Replaces `path` with the bytes: linked from the staging when there is one, else written and
    // flushed. The folder is left for the caller to flush.
    bool replace(const std::string& path) {
        makeFolderOf(path);
        if (const NS::detail::StagedFile* file = staged(true);
            file != nullptr && file->replace(path.c_str())) {
            return true;
        }
        const std::string& encoded = bytes();
        return !encoded.empty() && NS::detail::replaceFileUnflushed(path.c_str(), encoded);
    }

  private:
    std::mutex lock_;
    std::condition_variable finished_;
    cairo_surface_t* pixels_; // referenced until encoded
    std::string stagingFolder_;
    bool encoded_ = false;
    bool settled_ = false; // encoded, and staged or not
    std::string bytes_;
    std::unique_ptr<NS::detail::StagedFile> staged_;
};

using EncodingRef = std::shared_ptr<Encoding>;

cairo_surface_t* surfaceOf(const Image* self) {
    return static_cast<cairo_surface_t*>(objc::ivar(self, UI::ImageInternals::_surface));
}

// Set once, when the image is made, and read from any thread after.
EncodingRef encodingOf(const Image* self) {
    if (self == nullptr) {
        return nullptr;
    }
    auto* held = static_cast<EncodingRef*>(objc::ivar(self, UI::ImageInternals::_png));
    return held == nullptr ? nullptr : *held;
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
    objc::setIvar(self, UI::ImageInternals::_surface, surface);
    objc::setIvar(self, UI::ImageInternals::_png, new EncodingRef(std::make_shared<Encoding>(surface)));
    return self;
}

// Work for a core runs on one thread of its own, in order, for the life of the process: one job at
// a time keeps a burst of copies from starting a thread each. A process that exits waits for the
// work that must be done (files being written) and drops what was only begun ahead of time.
class Background {
  public:
    static Background& shared() {
        // Never destroyed: the thread may still hold it while the process exits.
        static Background* const background = new Background;
        return *background;
    }

    void add(std::function<void()> job, bool mustFinish) {
        {
            std::lock_guard guard(lock_);
            jobs_.push_back(Job{std::move(job), mustFinish});
        }
        changed_.notify_all();
    }

  private:
    struct Job {
        std::function<void()> run;
        bool mustFinish;
    };

    Background() : owner_(getpid()) {
        std::thread([this] { serve(); }).detach();
        std::atexit([] { shared().finish(); });
    }

    void serve() {
        for (;;) {
            Job job;
            {
                std::unique_lock guard(lock_);
                changed_.wait(guard, [this] { return !jobs_.empty(); });
                job = std::move(jobs_.front());
                jobs_.pop_front();
                busy_ = true;
            }
            job.run();
            {
                std::lock_guard guard(lock_);
                busy_ = false;
            }
            changed_.notify_all();
        }
    }

    void finish() {
        // A child forked from this process has no such thread to wait for.
        if (getpid() != owner_) {
            return;
        }
        std::unique_lock guard(lock_);
        std::erase_if(jobs_, [](const Job& job) { return !job.mustFinish; });
        changed_.wait(guard, [this] { return jobs_.empty() && !busy_; });
    }

    std::mutex lock_;
    std::condition_variable changed_;
    std::deque<Job> jobs_;
    bool busy_ = false;
    const pid_t owner_;
};

// PNG files start with these eight bytes; checking them first keeps other formats (and
// directories, devices, half-written files) from reaching the decoder at all.
constexpr std::string_view pngSignature{"\x89PNG\r\n\x1a\n", 8};

bool hasPngSignature(const char* path) {
    auto file = NS::detail::RegularFile::open(path);
    char head[8] = {};
    return file && file->readFully(head, sizeof head) && std::string_view(head, 8) == pngSignature;
}

// A picture file, and the screen pixels per point it was drawn for.
struct ScaledFile {
    std::string path;
    CGFloat scale = 1;
};

// What a name such as "logo@2x" declares: two pixels a point. 1 for a name without such an ending.
CGFloat scaleInName(std::string_view stem) {
    for (int n = 2; n <= 3; ++n) {
        if (stem.ends_with("@" + std::to_string(n) + "x")) {
            return n;
        }
    }
    return 1;
}

// The file a device reads for `path`: on a screen of more than one pixel a point, NAME@3x.EXT or
// NAME@2x.EXT beside NAME.EXT, the one for the screen's scale first, where such a file is there;
// else the file named. A name that says its scale itself is read as it is, at that scale.
ScaledFile fileForScreen(const char* path) {
    const std::filesystem::path named(path);
    const std::string stem = named.stem().string();
    if (const CGFloat declared = scaleInName(stem); declared > 1) {
        return {path, declared};
    }
    const CGFloat screen = Screen::mainScreen()->scale();
    const int wanted = std::isfinite(screen) ? static_cast<int>(std::clamp(std::lround(screen), 1L, 3L)) : 1;
    for (int n = wanted; n >= 2; --n) {
        std::filesystem::path variant = named;
        variant.replace_filename(stem + "@" + std::to_string(n) + "x" + named.extension().string());
        // One that is no picture is passed over rather than taken for the one the app asked for.
        if (hasPngSignature(variant.c_str())) {
            return {variant.string(), static_cast<CGFloat>(n)};
        }
    }
    return {path, 1};
}

Image* imageWithContentsOfFile(Class cls, NS::String* path) {
    return Image::alloc_.send(cls)->initWithContentsOfFile(path)->autorelease();
}

Image* initWithContentsOfFile(Image* self, NS::String* path) {
    auto image = Image::init_.super<Image>(self);
    if (image == nullptr) {
        return nullptr;
    }
    const char* named = objc::Ptr(path)->utf8String();
    const ScaledFile file = named != nullptr ? fileForScreen(named) : ScaledFile{};
    const char* p = named != nullptr ? file.path.c_str() : nullptr;
    auto read = objc::Ptr(adoptSurface(image, p != nullptr ? decodePNGFile(p) : nullptr));
    if (read != nullptr) {
        // Made owned, not autoreleased: an image may be read where no pool is.
        const std::string name = std::filesystem::path(p).filename().string();
        objc::setIvar(read, UI::ImageInternals::_fileName,
                      NS::String::alloc()->initWithUTF8String(name.c_str()));
        objc::setIvar(read, UI::ImageInternals::_scale, file.scale);
    }
    return read;
}

Image* initWithData(Image* self, NS::Data* data) {
    auto image = Image::init_.super<Image>(self);
    if (image == nullptr) {
        return nullptr;
    }
    return adoptSurface(image, decodePNGBytes(objc::Ptr(data)->bytes(), objc::Ptr(data)->length()));
}

CGSize size(Image* self) {
    cairo_surface_t* s = surfaceOf(self);
    if (s == nullptr) {
        return {};
    }
    // In points: a picture drawn for a finer screen covers fewer of them.
    const CGFloat scale = self->scale();
    return CGSize{static_cast<CGFloat>(cairo_image_surface_get_width(s)) / scale,
                  static_cast<CGFloat>(cairo_image_surface_get_height(s)) / scale};
}

ImageRenderingMode renderingMode(Image* self) { return objc::ivar(self, UI::ImageInternals::_renderingMode); }

Image* imageWithRenderingMode(Image* self, ImageRenderingMode mode) {
    auto copy = objc::Ptr(UI::ImageInternals::newImageWithCairoSurface(surfaceOf(self)));
    objc::setIvar(copy, UI::ImageInternals::_renderingMode, mode);
    objc::setIvar(copy, UI::ImageInternals::_scale, self->scale());
    objc::setIvar(copy, UI::ImageInternals::_fileName,
                  objc::Ptr(objc::ivar(self, UI::ImageInternals::_fileName))->copy().as<NS::String>());
    return copy->autorelease();
}

NS::String* fileName(Image* self) {
    auto name = objc::ivar(self, UI::ImageInternals::_fileName);
    return name != nullptr ? name : NS::String::string("").get();
}

CGFloat scale(Image* self) {
    // Only a file read for a finer screen sets it; every other image has one.
    const auto scale = objc::ivar(self, UI::ImageInternals::_scale);
    return scale > 0 ? scale : 1.0;
}

cairo_surface_t* cairoSurface(Image* self) { return surfaceOf(self); }

void dealloc(Image* self) {
    if (cairo_surface_t* s = surfaceOf(self)) {
        cairo_surface_destroy(s);
    }
    delete static_cast<EncodingRef*>(objc::ivar(self, UI::ImageInternals::_png));
    NS::Object::dealloc_.super<Image>(self);
}

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<Image>()
        .ivar(ImageInternals::_surface)
        .ivar(ImageInternals::_png)
        .ivar(ImageInternals::_renderingMode)
        .ivar(ImageInternals::_fileName)
        .ivar(ImageInternals::_scale)
        .method<&imageWithContentsOfFile>(Image::imageWithContentsOfFile_)
        .method<&initWithContentsOfFile>(Image::initWithContentsOfFile_)
        .method<&initWithData>(Image::initWithData_)
        .method<&size>(Image::size_)
        .method<&renderingMode>(Image::renderingMode_)
        .method<&imageWithRenderingMode>(Image::imageWithRenderingMode_)
        .method<&fileName>(UI::ImageInternals::fileName_)
        .method<&scale>(Image::scale_)
        .method<&cairoSurface>(UI::ImageInternals::cairoSurface_)
        .method<&dealloc>(NS::Object::dealloc_)
        .build();
}

} // namespace

Image* UI::ImageInternals::newImageWithCairoSurface(cairo_surface_t* surface) {
    return adoptSurface(Image::alloc()->init(), cairo_surface_reference(surface));
}

std::string pngBytes(Image* image) {
    const EncodingRef encoding = encodingOf(image);
    return encoding ? encoding->bytes() : std::string();
}

void beginPNGEncoding(Image* image, const std::string& stagingFolder) {
    if (EncodingRef encoding = encodingOf(image)) {
        if (!stagingFolder.empty()) {
            encoding->stageIn(stagingFolder);
        }
        Background::shared().add([encoding] { encoding->run(); }, false);
    }
}

bool writePNGFile(Image* image, const std::string& path) {
    const EncodingRef encoding = encodingOf(image);
    if (!encoding || !encoding->replace(path)) {
        return false;
    }
    NS::detail::removeStaleTemporariesOf(path.c_str());
    NS::detail::flushFolderOf(path.c_str());
    return true;
}

namespace {

// Flushes each folder of `paths` once, after clearing it of what placings that stopped halfway left.
void settleFoldersOf(const std::vector<std::string>& paths) {
    std::set<std::string> folders;
    for (const std::string& path : paths) {
        NS::detail::removeStaleTemporariesOf(path.c_str());
        if (folders.insert(std::filesystem::path(path).parent_path().string()).second) {
            NS::detail::flushFolderOf(path.c_str());
        }
    }
}

} // namespace

void writePNGFilesInBackground(Image* image, std::vector<std::string> paths, std::function<void(bool)> done) {
    EncodingRef encoding = encodingOf(image);
    // Bytes staged on disk already take a link and a rename per file, no wait for the disk: they are
    // put in place here and now, and only the folders are left to the background.
    if (const NS::detail::StagedFile* staged = encoding ? encoding->staged(false) : nullptr) {
        const bool placed = std::all_of(paths.begin(), paths.end(), [&](const std::string& path) {
            return staged->replace(path.c_str()) || (makeFolderOf(path) && staged->replace(path.c_str()));
        });
        if (placed) {
            done(true);
            Background::shared().add([paths = std::move(paths)] { settleFoldersOf(paths); }, true);
            return;
        }
    }
    Background::shared().add(
        [encoding = std::move(encoding), paths = std::move(paths), done = std::move(done)] {
            bool written = false;
            if (encoding != nullptr) {
                // Each file written anew waits for the disk before it is renamed into place; the
                // files wait side by side rather than one after the other. One that cannot be
                // written does not keep the others from being written.
                std::vector<char> done(paths.size(), 0);
                std::vector<std::thread> writers;
                for (std::size_t i = 1; i < paths.size(); ++i) {
                    writers.emplace_back([&, i] { done[i] = encoding->replace(paths[i]); });
                }
                if (!paths.empty()) {
                    done[0] = encoding->replace(paths[0]);
                }
                for (std::thread& writer : writers) {
                    writer.join();
                }
                written = std::all_of(done.begin(), done.end(), [](char ok) { return ok != 0; });
            }
            // Whoever waits is told as soon as the files are in place; their folders reach the disk
            // after that, once each, still before the process may exit.
            done(written);
            settleFoldersOf(paths);
        },
        true);
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
