// PNG files built chunk by chunk, for pictures no drawing library would write: wrong lengths, huge
// sizes in few bytes, chunks of every kind.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace testing_support {

inline const std::string kPngSignature{"\x89PNG\r\n\x1a\n", 8};

inline std::string bigEndian32(std::uint32_t value) {
    return {static_cast<char>(value >> 24), static_cast<char>(value >> 16), static_cast<char>(value >> 8),
            static_cast<char>(value)};
}

// A chunk of `type` holding `data`, its checksum right; `declared` overrides the length it gives.
inline std::string pngChunk(std::string_view type, std::string_view data, std::int64_t declared = -1) {
    const std::string body = std::string(type) + std::string(data);
    const auto crc = static_cast<std::uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size())));
    return bigEndian32(declared < 0 ? static_cast<std::uint32_t>(data.size())
                                    : static_cast<std::uint32_t>(declared)) +
           body + bigEndian32(crc);
}

// The header chunk of a picture of 8-bit channels: colour type 6 is RGBA, 2 RGB, 0 grey.
inline std::string pngHeader(std::uint32_t width, std::uint32_t height, char colourType = 6) {
    return pngChunk("IHDR", bigEndian32(width) + bigEndian32(height) + std::string{8, colourType, 0, 0, 0});
}

// The zlib stream of `rows` rows of `rowBytes` zero bytes each, every row with filter byte 0: a
// transparent black RGBA picture. The rows are compressed one at a time with a full flush, which
// leaves deflate nothing to refer back to, so every row but the first compresses to the same bytes:
// a picture of billions of pixels takes an instant and a few megabytes.
inline std::string zeroRows(std::uint32_t rows, std::uint32_t rowBytes) {
    z_stream z{};
    deflateInit(&z, 9);
    const std::string row(rowBytes + 1, '\0');
    const auto flushRow = [&] {
        std::string out(deflateBound(&z, static_cast<uLong>(row.size())) + 64, '\0');
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(row.data()));
        z.avail_in = static_cast<uInt>(row.size());
        z.next_out = reinterpret_cast<Bytef*>(out.data());
        z.avail_out = static_cast<uInt>(out.size());
        deflate(&z, Z_FULL_FLUSH);
        out.resize(out.size() - z.avail_out);
        return out;
    };
    std::string stream = flushRow();
    const std::string again = rows > 1 ? flushRow() : std::string();
    deflateEnd(&z);
    stream.reserve(stream.size() + again.size() * rows + 8);
    for (std::uint32_t i = 1; i < rows; ++i) {
        stream += again;
    }
    // A last, empty block, then the Adler-32 of the zeros: 1 for its first sum, their count for its
    // second.
    const std::uint64_t count = std::uint64_t{rows} * row.size();
    return stream + std::string("\x03\x00", 2) +
           bigEndian32(static_cast<std::uint32_t>((count % 65521) << 16 | 1));
}

// A whole transparent RGBA picture of `width` by `height` pixels, with `extra` chunks after its
// header.
inline std::string zeroPng(std::uint32_t width, std::uint32_t height, const std::string& extra = {}) {
    return kPngSignature + pngHeader(width, height) + extra + pngChunk("IDAT", zeroRows(height, 4 * width)) +
           pngChunk("IEND", "");
}

} // namespace testing_support
