#include "Foundation/NSAutoreleasePool.hpp"
#include "Foundation/NSData.hpp"
#include "Foundation/NSString.hpp"
#include "UIKit/UIImage.hpp"
#include "UIKit/UIImageInternals.hpp"
#include "UIKit/UIPasteboard.hpp"
#include "UIKit/UIScreen.hpp"

#include "UIKit/Images/PNGDecoder.hpp"

#include "../../../tests/support/Files.hpp"
#include "../../../tests/support/NotFiles.hpp"
#include "../../../tests/support/Pictures.hpp"
#include "../../../tests/support/PngBytes.hpp"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

namespace {

namespace fs = std::filesystem;
using testing_support::kPngSignature;
using testing_support::makePicture;
using testing_support::pictureOf;
using testing_support::pngChunk;
using testing_support::pngHeader;
using testing_support::readPng;
using testing_support::writePng;
using testing_support::zeroPng;

NS::String* str(const std::string& s) { return NS::String::string(s.c_str()); }

class ImageFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "images-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir = pattern;
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string file(const char* name, const std::string& content) {
        const std::string path = (dir / name).string();
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }
    UI::Image* load(const std::string& path) {
        return objc::send<UI::Image*>(UI::Image::alloc(), objc::Selector<"initWithContentsOfFile:">(),
                                      str(path));
    }
    // The image of `bytes` read from a file, after checking that the same bytes as data make the
    // same image or none alike.
    objc::Ref<UI::Image> loadBoth(const std::string& bytes) {
        auto fromFile = objc::adopt(load(file("bytes.png", bytes)));
        auto fromData = objc::adopt(UI::Image::alloc()->initWithData(
            NS::Data::dataWithBytes(static_cast<const void*>(bytes.data()), bytes.size())));
        EXPECT_EQ(fromFile == nullptr, fromData == nullptr);
        if (fromFile && fromData) {
            EXPECT_EQ(pictureOf(UI::ImageInternals::of(fromFile)->cairoSurface()),
                      pictureOf(UI::ImageInternals::of(fromData)->cairoSurface()));
        }
        return fromFile;
    }
    // The bytes of a PNG file of `picture` as cairo writes it.
    std::string pngOf(const testing_support::Picture& picture) {
        const std::string path = (dir / "written.png").string();
        EXPECT_TRUE(writePng(picture, path));
        return testing_support::readAll(path);
    }

    NS::AutoreleaseScope pool;
    fs::path dir;
};

TEST_F(ImageFiles, DecodesPngFilesWithTheirSizeAndPixels) {
    const auto picture = makePicture(7, 3);
    const std::string path = (dir / "p.png").string();
    ASSERT_TRUE(writePng(picture, path));
    auto image = objc::adopt(load(path));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->size(), (CGSize{7, 3}));
    EXPECT_EQ(image->scale(), 1.0);
    EXPECT_EQ(pictureOf(UI::ImageInternals::of(image)->cairoSurface()), picture);
}

TEST_F(ImageFiles, AnythingButAReadablePngGivesNil) {
    const std::string png = (dir / "p.png").string();
    ASSERT_TRUE(writePng(makePicture(4, 4), png));
    std::string bytes;
    {
        std::ifstream in(png, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    EXPECT_EQ(load((dir / "missing.png").string()), nullptr);
    EXPECT_EQ(load(file("text.png", "not a picture at all")), nullptr);
    EXPECT_EQ(load(file("empty.png", "")), nullptr);
    EXPECT_EQ(load(file("truncated.png", bytes.substr(0, bytes.size() / 2))), nullptr);
    EXPECT_EQ(load(file("jpeg.png", "\xff\xd8\xff\xe0 JFIF")), nullptr);
    EXPECT_EQ(load(dir.string()), nullptr);
    EXPECT_EQ(objc::send<id>(UI::Image::alloc(), objc::Selector<"initWithContentsOfFile:">(), nil), nil);
    EXPECT_EQ(UI::Image::imageWithContentsOfFile(str((dir / "missing.png").string())), nullptr);
}

TEST_F(ImageFiles, AnythingButARegularFileIsNoImageAndIsNeverWaitedOn) {
    for (const testing_support::NotAFile kind : testing_support::kNotFiles) {
        const fs::path path = dir / "not-a-file.png";
        ASSERT_TRUE(testing_support::plant(kind, path)) << describe(kind);
        const bool returned = testing_support::returnsWithoutAWriter(path, [&] {
            NS::AutoreleaseScope pool;
            EXPECT_EQ(UI::Image::imageWithContentsOfFile(str(path.string())), nullptr) << describe(kind);
        });
        EXPECT_TRUE(returned) << "loading " << describe(kind) << " waited for a writer";
        fs::remove_all(path);
    }
}

TEST_F(ImageFiles, PngDataMakesTheSameImageAgain) {
    const auto picture = makePicture(9, 2, 6);
    const std::string path = (dir / "p.png").string();
    ASSERT_TRUE(writePng(picture, path));
    NS::Data* data = UIImagePNGRepresentation(UI::Image::imageWithContentsOfFile(str(path)));
    ASSERT_NE(data, nullptr);
    auto again = objc::adopt(UI::Image::alloc()->initWithData(data));
    ASSERT_TRUE(again);
    EXPECT_EQ(pictureOf(UI::ImageInternals::of(again)->cairoSurface()), picture);
    EXPECT_EQ(readPng(file("copy.png", UI::pngBytes(again.get()))), picture);

    EXPECT_TRUE(UI::pngBytes(nullptr).empty());
    EXPECT_EQ(UIImagePNGRepresentation(nullptr), nullptr);
    EXPECT_EQ(objc::send<id>(UI::Image::alloc(), objc::Selector<"initWithData:">(), nil), nil);
    const std::string bytes(
        static_cast<const char*>(objc::send<const void*>(data, objc::Selector<"bytes">())),
        objc::send<unsigned long>(data, objc::Selector<"length">()));
    for (const std::string& broken :
         {std::string("GIF89a"), bytes.substr(0, 8), bytes.substr(0, bytes.size() - 20)}) {
        id junk = objc::send<id>(objc_lookUpClass("NSData"), objc::Selector<"dataWithBytes:length:">(),
                                 static_cast<const void*>(broken.data()),
                                 static_cast<unsigned long>(broken.size()));
        EXPECT_EQ(objc::send<id>(UI::Image::alloc(), objc::Selector<"initWithData:">(), junk), nil);
    }
}

// The device these tests run in has a screen of two pixels a point, as the default device has.
TEST_F(ImageFiles, OnATwoPixelScreenTheDoubleSizedFileBesideTheNamedOneIsRead) {
    ASSERT_EQ(UI::Screen::mainScreen()->scale(), 2.0);
    const std::string named = (dir / "logo.png").string();
    ASSERT_TRUE(writePng(makePicture(5, 3, 1), named));
    ASSERT_TRUE(writePng(makePicture(10, 6, 2), (dir / "logo@2x.png").string()));
    ASSERT_TRUE(writePng(makePicture(15, 9, 3), (dir / "logo@3x.png").string()));
    auto owned = objc::adopt(load(named));
    for (UI::Image* image : {UI::Image::imageWithContentsOfFile(str(named)), owned.get()}) {
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->scale(), 2.0);
        EXPECT_EQ(image->size(), (CGSize{5, 3})) << "the same size in points";
        EXPECT_EQ(pictureOf(UI::ImageInternals::of(image)->cairoSurface()), makePicture(10, 6, 2))
            << "the finer pixels";
        EXPECT_EQ(UI::ImageInternals::of(image)->fileName()->str(), "logo@2x.png");
        // A template of it stays as fine.
        UI::Image* shape = image->imageWithRenderingMode(UI::ImageRenderingModeAlwaysTemplate);
        EXPECT_EQ(shape->scale(), 2.0);
        EXPECT_EQ(shape->size(), (CGSize{5, 3}));
    }

    // A file named with its scale is read at that scale; another name has no variant to take.
    UI::Image* finest = UI::Image::imageWithContentsOfFile(str((dir / "logo@3x.png").string()));
    ASSERT_NE(finest, nullptr);
    EXPECT_EQ(finest->scale(), 3.0);
    EXPECT_EQ(finest->size(), (CGSize{5, 3}));
    ASSERT_TRUE(writePng(makePicture(4, 4, 4), (dir / "plain.png").string()));
    UI::Image* plain = UI::Image::imageWithContentsOfFile(str((dir / "plain.png").string()));
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(plain->scale(), 1.0);
    EXPECT_EQ(plain->size(), (CGSize{4, 4}));
}

TEST_F(ImageFiles, AVariantThatIsNoPictureLeavesTheNamedFileToBeRead) {
    const std::string named = (dir / "logo.png").string();
    ASSERT_TRUE(writePng(makePicture(5, 3, 1), named));
    const auto readsTheNamedFile = [&](const char* why) {
        UI::Image* image = UI::Image::imageWithContentsOfFile(str(named));
        ASSERT_NE(image, nullptr) << why;
        EXPECT_EQ(image->scale(), 1.0) << why;
        EXPECT_EQ(pictureOf(UI::ImageInternals::of(image)->cairoSurface()), makePicture(5, 3, 1)) << why;
    };
    fs::create_directory(dir / "logo@2x.png");
    readsTheNamedFile("a folder");
    fs::remove(dir / "logo@2x.png");
    file("logo@2x.png", "not a picture at all");
    readsTheNamedFile("text");
    fs::remove(dir / "logo@2x.png");
    ASSERT_EQ(mkfifo((dir / "logo@2x.png").c_str(), 0644), 0);
    readsTheNamedFile("a pipe, which is not waited on");
    fs::remove(dir / "logo@2x.png");

    // Without the named file, a variant beside it is still what the screen wants.
    ASSERT_TRUE(writePng(makePicture(2, 2, 5), (dir / "only@2x.png").string()));
    UI::Image* only = UI::Image::imageWithContentsOfFile(str((dir / "only.png").string()));
    ASSERT_NE(only, nullptr);
    EXPECT_EQ(only->size(), (CGSize{1, 1}));
}

TEST_F(ImageFiles, WritingAPngFileMakesFoldersAndReplacesTheFileWhole) {
    const std::string source = (dir / "p.png").string();
    ASSERT_TRUE(writePng(makePicture(3, 3, 1), source));
    UI::Image* first = UI::Image::imageWithContentsOfFile(str(source));
    ASSERT_TRUE(writePng(makePicture(2, 5, 2), source));
    UI::Image* second = UI::Image::imageWithContentsOfFile(str(source));

    const fs::path target = dir / "a" / "b" / "out.png";
    ASSERT_TRUE(UI::writePNGFile(first, target.string()));
    EXPECT_EQ(readPng(target.string()), makePicture(3, 3, 1));
    ASSERT_TRUE(UI::writePNGFile(second, target.string()));
    EXPECT_EQ(readPng(target.string()), makePicture(2, 5, 2));
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::others_read, fs::perms::others_read);
    // Nothing is left beside the file from the writes.
    EXPECT_EQ(std::distance(fs::directory_iterator(target.parent_path()), fs::directory_iterator()), 1);

    EXPECT_FALSE(UI::writePNGFile(nullptr, (dir / "nil.png").string()));
    EXPECT_FALSE(fs::exists(dir / "nil.png"));
    // A parent that is a file cannot become a folder; the old file is untouched.
    EXPECT_FALSE(UI::writePNGFile(first, (fs::path(source) / "x.png").string()));
    EXPECT_EQ(readPng(source), makePicture(2, 5, 2));
}

TEST_F(ImageFiles, SavingToThePhotoAlbumNumbersEachPicture) {
    const fs::path album = "/var/mobile/Media/DCIM/100APPLE";
    fs::remove_all(album);
    const std::string source = (dir / "p.png").string();
    ASSERT_TRUE(writePng(makePicture(4, 2, 5), source));
    UI::Image* image = UI::Image::imageWithContentsOfFile(str(source));

    UIImageWriteToSavedPhotosAlbum(image, nil, nullptr, nullptr);
    UIImageWriteToSavedPhotosAlbum(image, nil, nullptr, nullptr);
    UIImageWriteToSavedPhotosAlbum(nullptr, nil, nullptr, nullptr);
    EXPECT_EQ(readPng((album / "IMG_0001.PNG").string()), makePicture(4, 2, 5));
    EXPECT_EQ(readPng((album / "IMG_0002.PNG").string()), makePicture(4, 2, 5));
    EXPECT_FALSE(fs::exists(album / "IMG_0003.PNG"));
    fs::remove_all(album);
}

// Pictures whose bytes promise more than a device's pictures ever need are refused before the
// decoder spends anything on them; whatever draws nothing is passed over unread.
TEST_F(ImageFiles, AChunkLongerThanWhatFollowsItIsNoPicture) {
    const std::string header = kPngSignature + pngHeader(1, 1);
    // 44 bytes whose text chunk declares two gigabytes.
    const std::string claimsText = header + pngChunk("tEXt", "abc", 0x7fff0000).substr(0, 11);
    ASSERT_EQ(claimsText.size(), 44u);
    EXPECT_FALSE(loadBoth(claimsText));
    const std::string whole = zeroPng(1, 1);
    const std::string data = whole.substr(header.size(), whole.size() - header.size());
    EXPECT_FALSE(loadBoth(header + pngChunk("zTXt", "k\0\0", 1 << 20) + data));
    EXPECT_FALSE(loadBoth(header + pngChunk("IDAT", "", 5000) + data));
    // A whole picture loads; one byte short of its last checksum, none does.
    EXPECT_TRUE(loadBoth(whole));
    EXPECT_FALSE(loadBoth(whole.substr(0, whole.size() - 1)));
}

TEST_F(ImageFiles, NoPictureHasMorePixelsThanTheBound) {
    // 23000 by 23000 pixels in a few megabytes would take two gigabytes decoded.
    EXPECT_FALSE(loadBoth(zeroPng(23000, 23000)));
    EXPECT_FALSE(loadBoth(zeroPng(4097, 4096)));
    EXPECT_FALSE(loadBoth(zeroPng(UI::kMaxPicturePixels / 1024 + 1, 1024)));
    EXPECT_FALSE(loadBoth(zeroPng(0, 10)));
    auto largest = objc::adopt(load(file("largest.png", zeroPng(4096, 4096))));
    ASSERT_TRUE(largest) << "a picture of exactly the bound";
    EXPECT_EQ(largest->size(), (CGSize{4096, 4096}));
    // Larger than the largest screen, and than a camera's photo.
    EXPECT_GE(UI::kMaxPicturePixels, 2048u * 2732u);
    EXPECT_GE(UI::kMaxPicturePixels, 4032u * 3024u);
}

TEST_F(ImageFiles, ChunksThatDrawNothingArePassedOverWhateverTheyHold) {
    const auto picture = makePicture(6, 5, 3);
    const std::string png = pngOf(picture);
    const std::size_t afterHeader = kPngSignature.size() + 25;
    const auto with = [&](const std::string& chunks) {
        return png.substr(0, afterHeader) + chunks + png.substr(afterHeader);
    };
    // Text that unpacks to 16 MiB, a text chunk of every kind, a chunk of someone's own.
    const std::string zeros(16u << 20, '\0');
    uLongf packedSize = compressBound(static_cast<uLong>(zeros.size()));
    std::string packed(packedSize, '\0');
    ASSERT_EQ(compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize,
                        reinterpret_cast<const Bytef*>(zeros.data()), static_cast<uLong>(zeros.size()), 9),
              Z_OK);
    packed.resize(packedSize);
    const std::string chunks = pngChunk("zTXt", std::string("Comment\0\0", 9) + packed) +
                               pngChunk("tEXt", std::string("Title\0cat", 9)) +
                               pngChunk("iTXt", std::string("Title\0\0\0\0\0cat", 13)) +
                               pngChunk("prVt", "mine");
    auto image = loadBoth(with(chunks));
    ASSERT_TRUE(image);
    EXPECT_EQ(pictureOf(UI::ImageInternals::of(image)->cairoSurface()), picture);

    // A thousand of them are passed over; a file of more is made to be costly, not to be looked at.
    std::string many;
    for (int i = 0; i < 1000; ++i) {
        many += pngChunk("tEXt", std::string("k\0v", 3));
    }
    EXPECT_TRUE(loadBoth(zeroPng(1, 1, many)));
    EXPECT_FALSE(loadBoth(zeroPng(1, 1, many + pngChunk("tEXt", std::string("k\0v", 3)))));
}

TEST_F(ImageFiles, OnlyTheChunksOfAWellMadePictureReachTheDecoder) {
    const std::string header = pngHeader(1, 1);
    const std::string whole = zeroPng(1, 1);
    const std::string rest = whole.substr(kPngSignature.size() + header.size());
    // A palette picture with transparency: the chunks it draws with are all handed on.
    const std::string row{0, 0, 1};
    uLongf size = compressBound(static_cast<uLong>(row.size()) * 2);
    std::string rows(size, '\0');
    const std::string raw = row + row;
    ASSERT_EQ(compress(reinterpret_cast<Bytef*>(rows.data()), &size,
                       reinterpret_cast<const Bytef*>(raw.data()), static_cast<uLong>(raw.size())),
              Z_OK);
    rows.resize(size);
    const std::string palette =
        kPngSignature + pngHeader(2, 2, 3) + pngChunk("PLTE", std::string("\xff\x00\x00\x00\x00\xff", 6)) +
        pngChunk("tRNS", std::string("\xff\x00", 2)) + pngChunk("IDAT", rows) + pngChunk("IEND", "");
    auto image = loadBoth(palette);
    ASSERT_TRUE(image);
    EXPECT_EQ(pictureOf(UI::ImageInternals::of(image)->cairoSurface()),
              (testing_support::Picture{2, 2, {0xffff0000u, 0u, 0xffff0000u, 0u}}));

    // The header first, and only once; no critical chunk PNG lacks; no more image data than the
    // pixels can need.
    EXPECT_FALSE(loadBoth(kPngSignature + pngChunk("tEXt", std::string("k\0v", 3)) + header + rest));
    EXPECT_FALSE(loadBoth(kPngSignature + header + header + rest));
    EXPECT_FALSE(loadBoth(kPngSignature + header + pngChunk("ABCD", "") + rest));
    EXPECT_FALSE(loadBoth(kPngSignature + header + pngChunk("PLTE", std::string(771, '\0')) + rest));
    EXPECT_FALSE(loadBoth(whole.substr(0, whole.size() - 12) + pngChunk("IDAT", std::string(200000, 'x')) +
                          pngChunk("IEND", "")));
}

TEST(Pasteboard, OneGeneralPasteboardHoldsTheLastCopy) {
    NS::AutoreleaseScope pool;
    UI::Pasteboard* board = UI::Pasteboard::generalPasteboard();
    ASSERT_NE(board, nullptr);
    EXPECT_EQ(UI::Pasteboard::generalPasteboard(), board);

    cairo_surface_t* pixels = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 2, 2);
    auto image = objc::adopt(UI::ImageInternals::newImageWithCairoSurface(pixels));
    cairo_surface_destroy(pixels);
    const long before = board->changeCount();
    board->setImage(image.get());
    EXPECT_EQ(image->retainCount(), 2u);
    {
        NS::AutoreleaseScope inner;
        EXPECT_EQ(board->image(), image.get());
        EXPECT_EQ(board->string(), nullptr);
    }

    // Copying text replaces the picture, as any new copy replaces what was there.
    board->setString(str("words"));
    EXPECT_EQ(image->retainCount(), 1u);
    EXPECT_EQ(board->image(), nullptr);
    EXPECT_EQ(board->string()->str(), "words");
    board->setImage(nullptr);
    EXPECT_EQ(board->string(), nullptr);
    EXPECT_EQ(board->changeCount(), before + 3);
}

TEST(Pasteboard, ImagesCopiedOnOneThreadReadSafelyOnAnother) {
    cairo_surface_t* pixels = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 3, 1);
    std::atomic<bool> done{false};
    std::thread copier([&] {
        for (int i = 0; i < 2000; ++i) {
            NS::AutoreleaseScope pool;
            auto image = objc::adopt(UI::ImageInternals::newImageWithCairoSurface(pixels));
            UI::Pasteboard::generalPasteboard()->setImage(image.get());
        }
        done = true;
    });
    int seen = 0;
    bool finished = false;
    do {
        finished = done;
        NS::AutoreleaseScope pool;
        // The image read stays alive however soon the copier replaces it.
        UI::Image* image = UI::Pasteboard::generalPasteboard()->image();
        if (image != nullptr) {
            EXPECT_EQ(image->size().width, 3);
            ++seen;
        }
    } while (!finished);
    copier.join();
    cairo_surface_destroy(pixels);
    EXPECT_GT(seen, 0);
    UI::Pasteboard::generalPasteboard()->setImage(nullptr);
}

} // namespace
