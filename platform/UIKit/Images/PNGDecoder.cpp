#include "UIKit/Images/PNGDecoder.hpp"

#include "Foundation/RegularFile.hpp"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace UI {
namespace {

constexpr std::string_view kSignature{"\x89PNG\r\n\x1a\n", 8};
// A chunk's length, its type, and after its data a checksum.
constexpr std::size_t kChunkHeader = 8;
constexpr std::size_t kChunkChecksum = 4;
// The largest length a chunk may declare.
constexpr std::uint32_t kMaxChunkLength = 0x7fffffff;
// Chunks that do not change the pixels (text, colour profiles, times, ...) are passed over unread;
// a file needs a handful, and libpng itself keeps no more than this many.
constexpr int kMaxOtherChunks = 1000;
// A palette holds at most 256 colours of three bytes, and a transparency chunk one byte for each.
constexpr std::uint32_t kMaxPaletteLength = 3 * 256;
constexpr std::uint32_t kMaxTransparencyLength = 256;

std::uint32_t bigEndian(const unsigned char* bytes) {
    return std::uint32_t{bytes[0]} << 24 | std::uint32_t{bytes[1]} << 16 | std::uint32_t{bytes[2]} << 8 |
           std::uint32_t{bytes[3]};
}

// Where the bytes of a PNG come from.
class Source {
  public:
    virtual ~Source() = default;
    virtual bool read(unsigned char* into, std::size_t length) = 0;
    virtual bool skip(std::uint64_t length) = 0;
    // The bytes not yet read or skipped.
    virtual std::uint64_t remaining() const = 0;
};

class FileSource final : public Source {
  public:
    explicit FileSource(NS::detail::RegularFile file) : file_(std::move(file)) {}
    bool read(unsigned char* into, std::size_t length) override {
        if (!file_.readFully(into, length)) {
            return false;
        }
        position_ += length;
        return true;
    }
    bool skip(std::uint64_t length) override {
        if (!file_.skip(length)) {
            return false;
        }
        position_ += length;
        return true;
    }
    std::uint64_t remaining() const override { return file_.size() - std::min(position_, file_.size()); }

  private:
    NS::detail::RegularFile file_;
    std::uint64_t position_ = 0;
};

class MemorySource final : public Source {
  public:
    MemorySource(const unsigned char* bytes, std::size_t length) : bytes_(bytes), length_(length) {}
    bool read(unsigned char* into, std::size_t length) override {
        if (length > remaining()) {
            return false;
        }
        std::memcpy(into, bytes_ + offset_, length);
        offset_ += length;
        return true;
    }
    bool skip(std::uint64_t length) override {
        if (length > remaining()) {
            return false;
        }
        offset_ += static_cast<std::size_t>(length);
        return true;
    }
    std::uint64_t remaining() const override { return length_ - offset_; }

  private:
    const unsigned char* bytes_;
    std::size_t length_;
    std::size_t offset_ = 0;
};

// The most image data (compressed, with its chunks' headers) that a picture of this header can
// need: its rows as the encoder filters them, interlaced or not, plus what deflate adds when it
// cannot compress at all. Nothing in a well-made file exceeds it; libpng would read any excess,
// and cairo keep it, whatever its length.
std::uint64_t imageDataBound(std::uint32_t width, std::uint32_t height, unsigned depth, unsigned colourType) {
    unsigned channels = 4;
    switch (colourType) {
    case 0:
    case 3:
        channels = 1;
        break;
    case 2:
        channels = 3;
        break;
    case 4:
        channels = 2;
        break;
    default:
        break;
    }
    const std::uint64_t rowBytes = (std::uint64_t{width} * channels * std::max(depth, 1u) + 7) / 8;
    // Each row starts with its filter byte; interlacing splits the rows into fewer than 2h + 7 rows
    // of the seven passes, each with a filter byte and at most one byte of rounding more.
    const std::uint64_t filtered = std::uint64_t{height} * (rowBytes + 1) + 4 * std::uint64_t{height} + 32;
    return filtered + filtered / 64 + 65536;
}

// Hands the decoder the PNG that a source holds, checking each chunk before the decoder sees it.
// Every chunk's length must fit in what is left of the source; the header must come first and
// describe a picture within kMaxPicturePixels; the image data must stay within what those pixels can
// need; and no chunk the decoder does not draw with is handed on at all: they are passed over
// unread, so none of them costs memory whatever it declares or unpacks to.
class ChunkFilter {
  public:
    explicit ChunkFilter(Source& source) : source_(source) {}

    // Reads the signature; false when the source holds no PNG.
    bool start() {
        unsigned char head[kSignature.size()];
        if (!source_.read(head, sizeof head) || std::memcmp(head, kSignature.data(), sizeof head) != 0) {
            return false;
        }
        held_.assign(kSignature);
        return true;
    }

    // cairo's read function.
    static cairo_status_t read(void* closure, unsigned char* out, unsigned int length) {
        return static_cast<ChunkFilter*>(closure)->fill(out, length) ? CAIRO_STATUS_SUCCESS
                                                                     : CAIRO_STATUS_READ_ERROR;
    }

  private:
    bool fill(unsigned char* out, std::size_t length) {
        while (length > 0) {
            if (heldOffset_ < held_.size()) {
                const std::size_t n = std::min(length, held_.size() - heldOffset_);
                std::memcpy(out, held_.data() + heldOffset_, n);
                heldOffset_ += n;
                out += n;
                length -= n;
            } else if (passing_ > 0) {
                const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(length, passing_));
                if (!source_.read(out, n)) {
                    return false;
                }
                passing_ -= n;
                out += n;
                length -= n;
            } else if (ended_ || !nextChunk()) {
                return false;
            }
        }
        return true;
    }

    // Takes the next chunk the decoder is to see, passing over those it is not.
    bool nextChunk() {
        for (;;) {
            unsigned char header[kChunkHeader];
            if (!source_.read(header, sizeof header)) {
                return false;
            }
            const std::uint32_t length = bigEndian(header);
            const std::string_view type(reinterpret_cast<const char*>(header + 4), 4);
            if (length > kMaxChunkLength || std::uint64_t{length} + kChunkChecksum > source_.remaining() ||
                !std::all_of(type.begin(), type.end(),
                             [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); })) {
                return false;
            }
            held_.assign(reinterpret_cast<const char*>(header), sizeof header);
            heldOffset_ = 0;
            passing_ = std::uint64_t{length} + kChunkChecksum;
            if (!sawHeader_) {
                return type == "IHDR" && takeHeader(length);
            }
            if (type == "IDAT") {
                const std::uint64_t cost = std::uint64_t{length} + kChunkHeader + kChunkChecksum;
                if (cost > imageDataLeft_) {
                    return false;
                }
                imageDataLeft_ -= cost;
                return true;
            }
            if (type == "IEND") {
                ended_ = true;
                return true;
            }
            if (type == "PLTE") {
                return length <= kMaxPaletteLength;
            }
            if (type == "tRNS") {
                return length <= kMaxTransparencyLength;
            }
            // A critical chunk (its first letter a capital) that PNG does not define, or a second
            // header: no picture, as for any decoder.
            if ((type[0] & 0x20) == 0 || ++otherChunks_ > kMaxOtherChunks) {
                return false;
            }
            if (!source_.skip(passing_)) {
                return false;
            }
            passing_ = 0;
        }
    }

    // Reads the header chunk whose length was just read, to be handed on whole, and checks the size
    // of the picture it describes.
    bool takeHeader(std::uint32_t length) {
        constexpr std::uint32_t kHeaderLength = 13;
        if (length != kHeaderLength) {
            return false;
        }
        unsigned char body[kHeaderLength + kChunkChecksum];
        if (!source_.read(body, sizeof body)) {
            return false;
        }
        held_.append(reinterpret_cast<const char*>(body), sizeof body);
        passing_ = 0;
        sawHeader_ = true;
        const std::uint32_t width = bigEndian(body);
        const std::uint32_t height = bigEndian(body + 4);
        if (width == 0 || height == 0 || std::uint64_t{width} * height > kMaxPicturePixels) {
            return false;
        }
        imageDataLeft_ = imageDataBound(width, height, body[8], body[9]);
        return true;
    }

    Source& source_;
    std::string held_; // bytes read ahead, to be handed on before anything else
    std::size_t heldOffset_ = 0;
    std::uint64_t passing_ = 0; // bytes of the current chunk still to go from the source to the decoder
    std::uint64_t imageDataLeft_ = 0;
    int otherChunks_ = 0;
    bool sawHeader_ = false;
    bool ended_ = false;
};

cairo_surface_t* decode(Source& source) {
    ChunkFilter filter(source);
    if (!filter.start()) {
        return nullptr;
    }
    cairo_surface_t* surface = cairo_image_surface_create_from_png_stream(&ChunkFilter::read, &filter);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        return nullptr;
    }
    return surface;
}

} // namespace

cairo_surface_t* decodePNGFile(const char* path) {
    std::optional<NS::detail::RegularFile> file = NS::detail::RegularFile::open(path);
    if (!file) {
        return nullptr;
    }
    FileSource source(std::move(*file));
    return decode(source);
}

cairo_surface_t* decodePNGBytes(const void* bytes, std::size_t length) {
    if (bytes == nullptr) {
        return nullptr;
    }
    MemorySource source(static_cast<const unsigned char*>(bytes), length);
    return decode(source);
}

} // namespace UI
