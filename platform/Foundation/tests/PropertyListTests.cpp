#include "../../../tests/support/SameValues.hpp"
#include "Foundation/Foundation.hpp"
#include "Foundation/NSAutoreleasePoolInternals.hpp"
#include "Foundation/PropertyList.hpp"

#include "../../../tests/support/NotFiles.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <future>
#include <random>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace NS::literals;

// A fresh directory for one test, removed with everything in it afterwards.
class TempDir {
  public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "glintmere-plist-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~TempDir() { std::filesystem::remove_all(path_); }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    const std::string& path() const { return path_; }
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(path_)) {
            names.push_back(e.path().filename().string());
        }
        return names;
    }

  private:
    std::string path_;
};

void writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

NS::String* ns(const std::string& s) { return NS::String::string(std::string_view(s)); }

// The output of a shell command, and whether it exited with 0.
bool run(const std::string& command, std::string* output = nullptr) {
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return false;
    }
    std::string out;
    char buffer[4096];
    while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) {
        out.append(buffer, n);
    }
    if (output != nullptr) {
        *output = out;
    }
    return ::pclose(pipe) == 0;
}

// A binary property list from encoded objects, with 8-byte offsets and 4-byte references.
std::string binaryPlist(const std::vector<std::string>& objects, std::uint64_t root = 0,
                        std::uint64_t declaredCount = 0) {
    std::string out = "bplist00";
    std::vector<std::uint64_t> offsets;
    for (const std::string& o : objects) {
        offsets.push_back(out.size());
        out += o;
    }
    auto be = [&](std::uint64_t v, int n) {
        for (int k = n - 1; k >= 0; --k) {
            out += static_cast<char>((v >> (8 * k)) & 0xFF);
        }
    };
    std::uint64_t table = out.size();
    for (std::uint64_t off : offsets) {
        be(off, 8);
    }
    out += std::string(6, '\0');
    out += '\x08';
    out += '\x04';
    be(declaredCount != 0 ? declaredCount : objects.size(), 8);
    be(root, 8);
    be(table, 8);
    return out;
}

std::string ref(std::uint32_t index) {
    std::string r;
    for (int k = 3; k >= 0; --k) {
        r += static_cast<char>((index >> (8 * k)) & 0xFF);
    }
    return r;
}

std::string arrayOf(std::initializer_list<std::uint32_t> refs) {
    std::string o(1, static_cast<char>(0xA0 | refs.size()));
    for (std::uint32_t r : refs) {
        o += ref(r);
    }
    return o;
}

const char* xmlHead = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                      "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
                      "<plist version=\"1.0\">\n";

class PropertyListTest : public ::testing::Test {
  protected:
    NS::AutoreleaseScope pool;
    TempDir dir;

    NS::Dictionary* readDict(const std::string& bytes) {
        writeBytes(dir.file("in.plist"), bytes);
        return NS::Dictionary::dictionaryWithContentsOfFile(ns(dir.file("in.plist")));
    }

    // Every kind of value the preferences file can hold.
    NS::MutableDictionary* sample() {
        NS::MutableDictionary* d = NS::MutableDictionary::dictionary();
        d->setObjectForKey(NS::Number::number(true), "isEnabled"_ns);
        d->setObjectForKey(NS::Number::number(false), "isHidden"_ns);
        d->setObjectForKey(NS::Number::number(1), "one"_ns);
        d->setObjectForKey(NS::Number::number(-42LL), "negative"_ns);
        d->setObjectForKey(NS::Number::number(0.5), "half"_ns);
        d->setObjectForKey("Gl\xC3\xAFntmere <&>"_ns, "name"_ns);
        d->setObjectForKey(NS::Date::dateWithTimeIntervalSinceReferenceDate(86400.0), "when"_ns);
        const unsigned char bytes[] = {0, 1, 2, 0xff};
        d->setObjectForKey(NS::Data::dataWithBytes(bytes, sizeof bytes), "blob"_ns);
        d->setObjectForKey(NS::Array::arrayWithObjects({"a"_ns, NS::Number::number(2)}), "list"_ns);
        d->setObjectForKey(NS::Dictionary::dictionaryWithObjects({"inner"_ns}, {"k"_ns}), "nested"_ns);
        return d;
    }

    void expectSample(NS::Dictionary* d) {
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(d->count(), 10u);
        auto enabled = NS::cast<NS::Number>(d->objectForKey("isEnabled"_ns));
        ASSERT_NE(enabled, nullptr);
        EXPECT_TRUE(enabled->isBoolean());
        EXPECT_TRUE(enabled->boolValue());
        auto hidden = NS::cast<NS::Number>(d->objectForKey("isHidden"_ns));
        ASSERT_NE(hidden, nullptr);
        EXPECT_TRUE(hidden->isBoolean());
        EXPECT_FALSE(hidden->boolValue());
        auto one = NS::cast<NS::Number>(d->objectForKey("one"_ns));
        ASSERT_NE(one, nullptr);
        EXPECT_FALSE(one->isBoolean());
        EXPECT_EQ(one->intValue(), 1);
        EXPECT_EQ(NS::cast<NS::Number>(d->objectForKey("negative"_ns))->longLongValue(), -42);
        auto half = NS::cast<NS::Number>(d->objectForKey("half"_ns));
        EXPECT_TRUE(half->isReal());
        EXPECT_EQ(half->doubleValue(), 0.5);
        EXPECT_EQ(NS::cast<NS::String>(d->objectForKey("name"_ns))->str(), "Gl\xC3\xAFntmere <&>");
        EXPECT_EQ(NS::cast<NS::Date>(d->objectForKey("when"_ns))->timeIntervalSinceReferenceDate(), 86400.0);
        auto blob = NS::cast<NS::Data>(d->objectForKey("blob"_ns));
        ASSERT_NE(blob, nullptr);
        EXPECT_EQ(std::string(static_cast<const char*>(blob->bytes()), blob->length()),
                  std::string("\0\1\2\xff", 4));
        auto list = NS::cast<NS::Array>(d->objectForKey("list"_ns));
        ASSERT_NE(list, nullptr);
        EXPECT_TRUE(list->isEqualToArray(NS::Array::arrayWithObjects({"a"_ns, NS::Number::number(2)})));
        auto nested = NS::cast<NS::Dictionary>(d->objectForKey("nested"_ns));
        ASSERT_NE(nested, nullptr);
        EXPECT_EQ(NS::cast<NS::String>(nested->objectForKey("k"_ns))->str(), "inner");
    }
};

TEST_F(PropertyListTest, WritesXmlWithEachTypeInItsOwnElement) {
    ASSERT_TRUE(sample()->writeToFile(ns(dir.file("out.plist")), true));
    std::string xml = readBytes(dir.file("out.plist"));
    EXPECT_TRUE(xml.starts_with("<?xml")) << xml;
    EXPECT_NE(xml.find("<key>isEnabled</key>\n\t<true/>"), std::string::npos) << xml;
    EXPECT_NE(xml.find("<key>isHidden</key>\n\t<false/>"), std::string::npos) << xml;
    EXPECT_NE(xml.find("<key>one</key>\n\t<integer>1</integer>"), std::string::npos) << xml;
    EXPECT_NE(xml.find("<integer>-42</integer>"), std::string::npos) << xml;
    EXPECT_NE(xml.find("<real>0.5</real>"), std::string::npos) << xml;
    EXPECT_NE(xml.find("<date>2001-01-02T00:00:00Z</date>"), std::string::npos) << xml;
    EXPECT_NE(xml.find("<data>"), std::string::npos) << xml;
    EXPECT_NE(xml.find("&lt;&amp;&gt;"), std::string::npos) << xml;
    // Keys in the order they were stored, so that the same dictionary always gives the same file.
    EXPECT_LT(xml.find("isEnabled"), xml.find("isHidden"));
    EXPECT_LT(xml.find("<key>list</key>"), xml.find("<key>nested</key>"));
    expectSample(NS::Dictionary::dictionaryWithContentsOfFile(ns(dir.file("out.plist"))));
}

TEST_F(PropertyListTest, AUtf8ByteOrderMarkIsTakenAndUtf16TextRefused) {
    ASSERT_TRUE(sample()->writeToFile(ns(dir.file("out.plist")), true));
    const std::string xml = readBytes(dir.file("out.plist"));
    expectSample(readDict("\xEF\xBB\xBF" + xml));
    // The mark before white space or a comment ahead of the declaration.
    expectSample(readDict("\xEF\xBB\xBF\n<!-- saved by an editor -->\n" + xml));
    // UTF-16 either way round, with its mark: refused whole, never read in part.
    std::string little = "\xFF\xFE";
    std::string big = "\xFE\xFF";
    for (char c : xml) {
        little += c;
        little += '\0';
        big += '\0';
        big += c;
    }
    EXPECT_EQ(readDict(little), nullptr);
    EXPECT_EQ(readDict(big), nullptr);
    EXPECT_EQ(readDict("\xFF\xFE"), nullptr);
    EXPECT_EQ(readDict("\xEF\xBB\xBF"), nullptr);
}

TEST_F(PropertyListTest, MutableReadsAreMutableAndArraysRoundTrip) {
    ASSERT_TRUE(sample()->writeToFile(ns(dir.file("d.plist")), false));
    auto owned = objc::adopt(NS::MutableDictionary::alloc()->initWithContentsOfFile(ns(dir.file("d.plist"))));
    ASSERT_TRUE(owned);
    owned->setObjectForKey("added"_ns, "extra"_ns);
    EXPECT_EQ(owned->count(), 11u);

    NS::Array* list =
        NS::Array::arrayWithObjects({"x"_ns, NS::Number::number(false), NS::Number::number(2.25)});
    ASSERT_TRUE(list->writeToFile(ns(dir.file("a.plist")), true));
    NS::Array* back = NS::Array::arrayWithContentsOfFile(ns(dir.file("a.plist")));
    ASSERT_NE(back, nullptr);
    EXPECT_TRUE(back->isEqualToArray(list));
    EXPECT_TRUE(NS::cast<NS::Number>(back->objectAtIndex(1))->isBoolean());
    // Each reader takes only its own kind of root.
    EXPECT_EQ(NS::Dictionary::dictionaryWithContentsOfFile(ns(dir.file("a.plist"))), nullptr);
    EXPECT_EQ(NS::Array::arrayWithContentsOfFile(ns(dir.file("d.plist"))), nullptr);
}

TEST_F(PropertyListTest, WhatHasNoPropertyListFormIsNotWritten) {
    writeBytes(dir.file("keep.plist"), "old contents");
    NS::MutableDictionary* d = NS::MutableDictionary::dictionary();
    d->setObjectForKey(NS::URL::URLWithString("http://example.com"_ns), "url"_ns);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(d->writeToFile(ns(dir.file("keep.plist")), true));
    NS::MutableDictionary* numericKey = NS::MutableDictionary::dictionary();
    numericKey->setObjectForKey("v"_ns, NS::Number::number(1));
    EXPECT_FALSE(numericKey->writeToFile(ns(dir.file("keep.plist")), false));
    std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("no property-list form"), std::string::npos) << said;
    EXPECT_EQ(readBytes(dir.file("keep.plist")), "old contents");
    // A container that holds itself cannot be written either, and must not hang or overflow.
    NS::MutableArray* loop = NS::MutableArray::array();
    loop->addObject(loop);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(loop->writeToFile(ns(dir.file("loop.plist")), true));
    testing::internal::GetCapturedStderr();
    loop->removeAllObjects();
}

TEST_F(PropertyListTest, MissingUnreadableAndForeignFilesReadAsNil) {
    EXPECT_EQ(NS::Dictionary::dictionaryWithContentsOfFile(ns(dir.file("none.plist"))), nullptr);
    EXPECT_EQ(NS::Dictionary::dictionaryWithContentsOfFile(ns(dir.path())), nullptr);
    EXPECT_EQ(NS::Dictionary::dictionaryWithContentsOfFile(nullptr), nullptr);
    EXPECT_EQ(objc::send<id>(NS::MutableDictionary::alloc(), objc::Selector<"initWithContentsOfFile:">(),
                             ns(dir.file("none.plist"))),
              nil);
    EXPECT_EQ(readDict(""), nullptr);
    EXPECT_EQ(readDict("isEnabled = 1;"), nullptr);
    EXPECT_EQ(readDict("{\"isEnabled\": true}"), nullptr);
    EXPECT_EQ(readDict(std::string(xmlHead) + "<array><true/></array></plist>"), nullptr);
    EXPECT_EQ(readDict(std::string(xmlHead) + "<string>just text</string></plist>"), nullptr);
}

TEST_F(PropertyListTest, APipeInPlaceOfTheFileReadsAsNilWithoutWaitingForAWriter) {
    const std::string path = dir.file("pipe.plist");
    ASSERT_EQ(::mkfifo(path.c_str(), 0644), 0);
    const bool returned = testing_support::returnsWithoutAWriter(path, [&] {
        NS::AutoreleaseScope pool;
        EXPECT_EQ(NS::Dictionary::dictionaryWithContentsOfFile(ns(path)), nullptr);
        EXPECT_EQ(NS::Data::dataWithContentsOfFile(ns(path)), nullptr);
    });
    EXPECT_TRUE(returned) << "reading blocked on the pipe";
}

TEST_F(PropertyListTest, UnreadableFileReadsAsNil) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "running as root, which reads files whatever their permissions";
    }
    ASSERT_TRUE(sample()->writeToFile(ns(dir.file("secret.plist")), true));
    ::chmod(dir.file("secret.plist").c_str(), 0);
    EXPECT_EQ(NS::Dictionary::dictionaryWithContentsOfFile(ns(dir.file("secret.plist"))), nullptr);
}

TEST_F(PropertyListTest, XmlThatLibplistWouldReadOnlyInPartIsRefused) {
    const std::string good = std::string(xmlHead) + "<dict><key>a</key><true/></dict></plist>\n";
    ASSERT_NE(readDict(good), nullptr);
    const char* bodies[] = {
        "<dict><key>a</key><true/><key>b</key></dict></plist>",                     // key without a value
        "<dict><key>a</key><true/></dict></plist><dict>",                           // more after the end
        "<dict><key>a</key><true/></dict></plist>trailing",                         //
        "<dict><key>a</key><integer>12abc</integer></dict></plist>",                // not a number
        "<dict><key>a</key><integer>99999999999999999999</integer></dict></plist>", // beyond 64 bits
        "<dict><key>a</key><real>1.5.2</real></dict></plist>",                      //
        "<dict><key>a</key><date>yesterday</date></dict></plist>",                  //
        "<dict><key>a</key><date>4001-01-01T00:00:00Z</date></dict></plist>",       // out of the date range
        "<dict><key>a</key><data>@@@</data></dict></plist>",                        //
        "<dict><key>a</key><uid>1</uid></dict></plist>",                            // no Foundation form
        "<dict><true/></dict></plist>",                                             // value without a key
        "<dict><key>a</key><string>x</dict></plist>",                               // unbalanced
        "<dict><key>a</key><string>&bogus;</string></dict></plist>",                //
        "<dict><key>a</key><string>\xC3</string></dict></plist>",                   // not UTF-8
        "<dict><key>a</key><true/></dict><dict/></plist>",                          // two roots
    };
    for (const char* body : bodies) {
        EXPECT_EQ(readDict(std::string(xmlHead) + body), nullptr) << body;
    }
    EXPECT_EQ(readDict("<!DOCTYPE plist [<!ENTITY a \"aaaa\">]><plist><dict/></plist>"), nullptr);
}

TEST_F(PropertyListTest, XmlEntitiesAndRepeatedKeysReadAsCocoaReadsThem) {
    NS::Dictionary* d = readDict(std::string(xmlHead) +
                                 "<dict><key>a</key><array><integer>1</integer><integer>2</integer></array>"
                                 "<!-- a comment --><key>b</key><string>x&#65;&#x42;&lt;y</string>"
                                 "<key>a</key><integer>3</integer></dict></plist>");
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->count(), 2u);
    EXPECT_EQ(NS::cast<NS::Number>(d->objectForKey("a"_ns))->intValue(), 3); // the later entry wins
    EXPECT_EQ(NS::cast<NS::String>(d->objectForKey("b"_ns))->str(), "xAB<y");
    EXPECT_EQ(readDict(std::string(xmlHead) + "<dict><key>a</key><string>&#0;</string></dict></plist>"),
              nullptr);
}

TEST_F(PropertyListTest, PlainXmlReadsToTheValuesLibplistGivesIt) {
    ASSERT_TRUE(sample()->writeToFile(ns(dir.file("ours.plist")), true));
    const std::string ours = readBytes(dir.file("ours.plist"));
    const std::string bodies[] = {
        "<dict><key>a</key><integer> +5 </integer><key>b</key><integer>-0</integer><key>c</key>"
        "<integer>007</integer><key>d</key><integer>-9223372036854775808</integer></dict>",
        "<array><real>.5</real><real>5.</real><real>-0.0</real><real> 1E-3 </real><real>+2.5e2</real>"
        "<real>123456789012345678901234567890</real></array>",
        "<array><date>2001-02-30T00:00:00Z</date><date>2000-02-29T23:59:60Z</date>"
        "<date> 1933-12-31T23:59:59Z </date></array>",
        "<array><data>AAEC</data><data>AAE=</data><data>AA==</data><data> AA\r\nE\tC </data><data></data>"
        "<data/><data>/+/+</data></array>",
        "<dict><key>a&amp;</key><string> x&#65;&#x1F600;\r\n&lt;&gt;&quot;&apos; "
        "</string><key></key><string/>"
        "<key>a&amp;</key><true></true><key>e</key><false> </false></dict>",
        "<array><dict/><array/><dict>\n</dict><array></array><string>]]&gt; > '</string></array>",
    };
    std::vector<std::string> documents{ours};
    for (const std::string& body : bodies) {
        documents.push_back(std::string(xmlHead) + body + "</plist>\n");
        documents.push_back("<plist>" + body + "</plist>");
        documents.push_back("<?xml version='1.0'?><!DOCTYPE plist><plist version=\"1.0\">\n" + body +
                            "\n</plist>");
    }
    for (const std::string& document : documents) {
        auto plain = objc::adopt(reinterpret_cast<NS::Object*>(NS::detail::propertyListFromBytes(document)));
        auto reference =
            objc::adopt(reinterpret_cast<NS::Object*>(NS::detail::propertyListThroughLibplist(document)));
        ASSERT_NE(reference.get(), nullptr) << document;
        EXPECT_TRUE(testing_support::sameValues(plain.get(), reference.get())) << document;
    }
    expectSample(readDict(ours));
    // A key that comes again keeps its place with the later value; padding ends the data early.
    auto strings = NS::cast<NS::Dictionary>(readDict(documents[13]));
    ASSERT_NE(strings, nullptr);
    EXPECT_EQ(NS::cast<NS::String>(strings->allKeys()->objectAtIndex(0))->str(), "a&");
    EXPECT_TRUE(NS::cast<NS::Number>(strings->objectForKey("a&"_ns))->boolValue());
    EXPECT_EQ(NS::cast<NS::String>(strings->objectForKey(""_ns))->str(), "");
    writeBytes(dir.file("data.plist"), documents[10]);
    auto data = NS::Array::arrayWithContentsOfFile(ns(dir.file("data.plist")));
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(NS::cast<NS::Data>(data->objectAtIndex(1))->length(), 2u);
    EXPECT_EQ(NS::cast<NS::Data>(data->objectAtIndex(3))->length(), 3u);
}

TEST_F(PropertyListTest, TruncatedFilesAreRefusedAtEveryLength) {
    ASSERT_TRUE(sample()->writeToFile(ns(dir.file("whole.plist")), true));
    std::string xml = readBytes(dir.file("whole.plist"));
    ASSERT_TRUE(run("/usr/bin/plistutil -i " + dir.file("whole.plist") + " -o " + dir.file("whole.bin") +
                    " -f bin 2>&1") ||
                !std::filesystem::exists("/usr/bin/plistutil"));
    std::string binary =
        std::filesystem::exists(dir.file("whole.bin")) ? readBytes(dir.file("whole.bin")) : "";
    // Only the last characters of the XML (the newline after </plist>) may go without harm.
    std::size_t end = xml.rfind("</plist>");
    for (std::size_t n = 0; n < end + 8; n += (n < 200 ? 1 : 7)) {
        EXPECT_EQ(readDict(xml.substr(0, n)), nullptr) << "XML cut at " << n;
    }
    for (std::size_t n = 0; n < binary.size(); ++n) {
        EXPECT_EQ(readDict(binary.substr(0, n)), nullptr) << "binary cut at " << n;
    }
}

TEST_F(PropertyListTest, RandomAndMangledBytesNeverCrash) {
    std::mt19937 random(20240601);
    ASSERT_TRUE(sample()->writeToFile(ns(dir.file("whole.plist")), true));
    std::string xml = readBytes(dir.file("whole.plist"));
    std::string binary;
    if (run("/usr/bin/plistutil -i " + dir.file("whole.plist") + " -o " + dir.file("whole.bin") +
            " -f bin")) {
        binary = readBytes(dir.file("whole.bin"));
    }
    for (int round = 0; round < 300; ++round) {
        std::string bytes;
        switch (round % 3) {
        case 0:
            bytes = "bplist00";
            for (int k = 0; k < 200; ++k) {
                bytes += static_cast<char>(random() & 0xFF);
            }
            // Random bytes under a valid header and trailer are not a property list either.
            EXPECT_EQ(readDict(bytes), nullptr);
            continue;
        case 1:
            bytes = binary.empty() ? xml : binary;
            break;
        default:
            bytes = xml;
            break;
        }
        for (int flips = 1 + static_cast<int>(random() % 6); flips > 0; --flips) {
            bytes[random() % bytes.size()] = static_cast<char>(random() & 0xFF);
        }
        // Whatever a mangled file reads as, reading it must not crash; a result is a dictionary.
        NS::Dictionary* d = readDict(bytes);
        if (d != nullptr) {
            EXPECT_TRUE(d->isKindOfClass(NS::Dictionary::runtimeClass()));
        }
    }
}

TEST_F(PropertyListTest, HostileBinaryStructuresAreRefused) {
    const std::string five = std::string("\x10\x05", 2);
    // Sanity: the builder makes what the reader takes.
    std::string key = "\x51k";
    std::string dict = std::string("\xD1") + ref(1) + ref(2);
    NS::Dictionary* ok = readDict(binaryPlist({dict, key, five}));
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(NS::cast<NS::Number>(ok->objectForKey("k"_ns))->intValue(), 5);

    auto refused = [&](const std::string& bytes, const char* what) {
        EXPECT_EQ(readDict(bytes), nullptr) << what;
        writeBytes(dir.file("in.plist"), bytes);
        EXPECT_EQ(NS::Array::arrayWithContentsOfFile(ns(dir.file("in.plist"))), nullptr) << what;
    };
    auto big = [](char marker, std::uint64_t n) {
        std::string o(1, marker);
        o += '\x13';
        for (int k = 7; k >= 0; --k) {
            o += static_cast<char>((n >> (8 * k)) & 0xFF);
        }
        return o;
    };
    refused(binaryPlist({big('\x4F', 1ull << 62)}), "data of 2^62 bytes");
    refused(binaryPlist({big('\xAF', 1ull << 40)}), "array of 2^40 elements");
    refused(binaryPlist({big('\xDF', 1ull << 31)}), "dictionary of 2^31 entries");
    refused(binaryPlist({big('\x5F', ~0ull)}), "string of 2^64-1 bytes");
    refused(binaryPlist({dict, key, five}, 0, 1ull << 40), "2^40 objects declared");
    refused(binaryPlist({dict, key, five}, 7), "root past the objects");
    refused(binaryPlist({arrayOf({0})}), "an array that holds itself");
    refused(binaryPlist({std::string("\xD1") + ref(1) + ref(2), five, five}), "a key that is not a string");
    refused(binaryPlist({arrayOf({1}), std::string("\x00", 1)}), "null");
    refused(binaryPlist({arrayOf({1}), std::string("\x81\x01", 2)}), "a UID");
    refused(binaryPlist({arrayOf({9})}), "a reference past the objects");

    // Deep nesting: libplist would recurse once per level.
    std::vector<std::string> deep;
    for (std::uint32_t k = 0; k < 100000; ++k) {
        deep.push_back(arrayOf({k + 1}));
    }
    deep.push_back(five);
    refused(binaryPlist(deep), "100000 nested arrays");
    // Shared objects: 64 levels of [x, x] would expand into 2^64 copies.
    std::vector<std::string> doubling;
    for (std::uint32_t k = 0; k < 64; ++k) {
        doubling.push_back(arrayOf({k + 1, k + 1}));
    }
    doubling.push_back(five);
    refused(binaryPlist(doubling), "2^64 shared copies");
    // Twenty levels of nesting are nothing unusual.
    std::vector<std::string> modest(deep.end() - 21, deep.end());
    for (std::uint32_t k = 0; k < 20; ++k) {
        modest[k] = arrayOf({k + 1});
    }
    writeBytes(dir.file("modest.plist"), binaryPlist(modest));
    EXPECT_NE(NS::Array::arrayWithContentsOfFile(ns(dir.file("modest.plist"))), nullptr);
}

// A fan-out of `levels` arrays [x, x] over `leaf`: 2^(levels + 1) - 1 values once copied out.
std::string fanOut(std::uint32_t levels, const std::string& leaf) {
    std::vector<std::string> objects;
    for (std::uint32_t k = 0; k < levels; ++k) {
        objects.push_back(arrayOf({k + 1, k + 1}));
    }
    objects.push_back(leaf);
    return binaryPlist(objects);
}

TEST_F(PropertyListTest, SharedObjectsAreCountedAsTheCopiesTheyBecome) {
    auto readArray = [&](const std::string& bytes) {
        writeBytes(dir.file("shared.plist"), bytes);
        return NS::Array::arrayWithContentsOfFile(ns(dir.file("shared.plist")));
    };
    // Twenty-one levels: four million values from a file of a few hundred bytes.
    const std::string five = std::string("\x10\x05", 2);
    const std::string bomb = fanOut(21, five);
    EXPECT_LT(bomb.size(), 512u);
    EXPECT_EQ(readArray(bomb), nullptr);
    // The same through dictionaries, each level one key over two values.
    std::vector<std::string> dicts;
    for (std::uint32_t k = 0; k < 21; ++k) {
        dicts.push_back(std::string("\xD2") + ref(22) + ref(23) + ref(k + 1) + ref(k + 1));
    }
    dicts.push_back(five);
    dicts.push_back("\x51"
                    "a");
    dicts.push_back("\x51"
                    "b");
    writeBytes(dir.file("dicts.plist"), binaryPlist(dicts));
    EXPECT_EQ(NS::Dictionary::dictionaryWithContentsOfFile(ns(dir.file("dicts.plist"))), nullptr);
    // Few values, but 64 KB of data copied 2^11 times is 128 MB.
    std::string data = std::string("\x4F\x12\x00\x01\x00\x00", 6) + std::string(1 << 16, 'x');
    EXPECT_EQ(readArray(fanOut(11, data)), nullptr);
    // Sharing that stays small reads as the copies it stands for.
    NS::Array* modest = readArray(
        fanOut(10, data.substr(0, 2) + std::string("\x00\x00\x04\x00", 4) + std::string(1024, 'y')));
    ASSERT_NE(modest, nullptr);
    EXPECT_EQ(modest->count(), 2u);
}

TEST_F(PropertyListTest, WhatWouldBeTooLargeToReadBackIsNotWritten) {
    // 2^6 copies of 900 KB of data: within what is read, but more than that as base64 text.
    const std::string data = std::string("\x4F\x12\x00\x0E\x10\x00", 6) + std::string(900 << 10, 'd');
    writeBytes(dir.file("shared.plist"), fanOut(6, data));
    NS::Array* shared = NS::Array::arrayWithContentsOfFile(ns(dir.file("shared.plist")));
    ASSERT_NE(shared, nullptr);
    writeBytes(dir.file("old.plist"), "old");
    EXPECT_FALSE(shared->writeToFile(ns(dir.file("old.plist")), true));
    EXPECT_EQ(readBytes(dir.file("old.plist")), "old");
}

TEST_F(PropertyListTest, ADictionaryOfTwoHundredThousandKeysReads) {
    // Binary, with every key's value one shared object: twice as many objects as values.
    std::vector<std::string> objects;
    std::string dict("\xDF\x12\x00\x03\x0D\x40", 6);
    for (std::uint32_t k = 0; k < 200000; ++k) {
        dict += ref(k + 1);
    }
    for (std::uint32_t k = 0; k < 200000; ++k) {
        dict += ref(200001);
    }
    objects.push_back(dict);
    for (int k = 0; k < 200000; ++k) {
        std::string name = "k" + std::to_string(k);
        objects.push_back(static_cast<char>(0x50 | name.size()) + name);
    }
    objects.push_back("\x09");
    NS::Dictionary* fromBinary = readDict(binaryPlist(objects));
    ASSERT_NE(fromBinary, nullptr);
    EXPECT_EQ(fromBinary->count(), 200000u);
}

TEST_F(PropertyListTest, StringsHoldingNulAreRefusedNotCutShortOrFatal) {
    const std::string dictOfS = std::string("\xD1") + ref(1) + ref(2);
    const std::string s = "\x51s";
    const std::string aNulB("a\0b", 3);
    // libplist stops the program on these two: a NUL byte in XML text, a NUL unit in a UTF-16 string.
    EXPECT_EQ(
        readDict(std::string(xmlHead) + "<dict><key>s</key><string>" + aNulB + "</string></dict></plist>"),
        nullptr);
    EXPECT_EQ(readDict(binaryPlist({dictOfS, s, std::string("\x62\x00\xE9\x00\x00", 5)})), nullptr);
    // These it would read cut short at the NUL, "a" for "a\0b".
    EXPECT_EQ(
        readDict(std::string(xmlHead) + "<dict><key>" + aNulB + "</key><string>a</string></dict></plist>"),
        nullptr);
    EXPECT_EQ(readDict(binaryPlist({dictOfS, s, "\x53" + aNulB})), nullptr);
    EXPECT_EQ(readDict(binaryPlist({dictOfS, "\x53" + aNulB, s})), nullptr);
    // Data may hold NUL bytes.
    NS::Dictionary* data = readDict(binaryPlist({dictOfS, s, "\x43" + aNulB}));
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(NS::cast<NS::Data>(data->objectForKey("s"_ns))->length(), 3u);
}

TEST_F(PropertyListTest, DeepXmlIsRefusedWithoutOverflowingTheStack) {
    std::string deep = std::string(xmlHead);
    for (int k = 0; k < 200000; ++k) {
        deep += "<array>";
    }
    for (int k = 0; k < 200000; ++k) {
        deep += "</array>";
    }
    deep += "</plist>";
    writeBytes(dir.file("deep.plist"), deep);
    EXPECT_EQ(NS::Array::arrayWithContentsOfFile(ns(dir.file("deep.plist"))), nullptr);
}

TEST_F(PropertyListTest, OversizedFilesAreNotRead) {
    std::string path = dir.file("huge.plist");
    {
        std::ofstream out(path, std::ios::binary);
        out << xmlHead << "<dict><key>a</key><string>";
    }
    std::filesystem::resize_file(path, (64u << 20) + 1);
    EXPECT_EQ(NS::Dictionary::dictionaryWithContentsOfFile(ns(path)), nullptr);
}

TEST_F(PropertyListTest, AtomicWritesReplaceTheFileThroughARename) {
    std::string target = dir.file("prefs.plist");
    ASSERT_TRUE(sample()->writeToFile(ns(target), false));
    struct stat before {};
    ASSERT_EQ(::stat(target.c_str(), &before), 0);
    ASSERT_TRUE(sample()->writeToFile(ns(target), false));
    struct stat inPlace {};
    ::stat(target.c_str(), &inPlace);
    EXPECT_EQ(inPlace.st_ino, before.st_ino);

    ::chmod(target.c_str(), 0640);
    ASSERT_TRUE(sample()->writeToFile(ns(target), true));
    struct stat replaced {};
    ::stat(target.c_str(), &replaced);
    EXPECT_NE(replaced.st_ino, before.st_ino); // a new file took the name
    EXPECT_EQ(replaced.st_mode & 07777, 0640u);
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"prefs.plist"}); // no temporary file left behind
}

TEST_F(PropertyListTest, ReadersNeverSeePartOfAnAtomicWrite) {
    std::string target = dir.file("shared.plist");
    NS::MutableDictionary* small = NS::MutableDictionary::dictionary();
    small->setObjectForKey(NS::Number::number(false), "isEnabled"_ns);
    NS::MutableDictionary* large = NS::MutableDictionary::dictionary();
    large->setObjectForKey(NS::Number::number(true), "isEnabled"_ns);
    for (int k = 0; k < 2000; ++k) {
        large->setObjectForKey(NS::String::string("padding value " + std::to_string(k)),
                               NS::String::string("key" + std::to_string(k)));
    }
    ASSERT_TRUE(small->writeToFile(ns(target), true));
    std::atomic<bool> done{false};
    std::atomic<int> reads{0};
    std::atomic<int> broken{0};
    std::thread reader([&] {
        while (!done.load()) {
            NS::AutoreleaseScope inner;
            NS::Dictionary* d = NS::Dictionary::dictionaryWithContentsOfFile(ns(target));
            if (d == nullptr || (d->count() != 1 && d->count() != 2001)) {
                ++broken;
            }
            ++reads;
        }
    });
    for (int k = 0; k < 60; ++k) {
        NS::AutoreleaseScope inner;
        EXPECT_TRUE((k % 2 == 0 ? large : small)->writeToFile(ns(target), true));
    }
    while (reads.load() < 20) {
        std::this_thread::yield();
    }
    done = true;
    reader.join();
    EXPECT_EQ(broken.load(), 0) << "of " << reads.load() << " reads";
}

TEST_F(PropertyListTest, AFailedWriteKeepsTheOldFile) {
    std::string target = dir.file("prefs.plist");
    ASSERT_TRUE(sample()->writeToFile(ns(target), true));
    const std::string old = readBytes(target);
    NS::MutableDictionary* large = NS::MutableDictionary::dictionary();
    for (int k = 0; k < 5000; ++k) {
        large->setObjectForKey(NS::String::string(std::string(40, 'x')),
                               NS::String::string(std::to_string(k)));
    }
    // A file-size limit makes the write fail half-way, as a full disk would.
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    bool written = large->writeToFile(ns(target), true);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(written);
    EXPECT_EQ(readBytes(target), old);
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"prefs.plist"});
    // A directory that is not there cannot take the temporary file.
    EXPECT_FALSE(sample()->writeToFile(ns(dir.file("missing/prefs.plist")), true));
}

TEST_F(PropertyListTest, UnwritableDirectoryKeepsTheOldFile) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "running as root, which writes into any directory";
    }
    std::string sub = dir.file("locked");
    std::filesystem::create_directory(sub);
    ASSERT_TRUE(sample()->writeToFile(ns(sub + "/prefs.plist"), true));
    const std::string old = readBytes(sub + "/prefs.plist");
    ::chmod(sub.c_str(), 0555);
    EXPECT_FALSE(NS::Dictionary::dictionary()->writeToFile(ns(sub + "/prefs.plist"), true));
    ::chmod(sub.c_str(), 0755);
    EXPECT_EQ(readBytes(sub + "/prefs.plist"), old);
}

TEST_F(PropertyListTest, PlistutilReadsOurFilesAndWeReadItsBinaries) {
    if (!std::filesystem::exists("/usr/bin/plistutil")) {
        GTEST_SKIP() << "/usr/bin/plistutil is not installed";
    }
    ASSERT_TRUE(sample()->writeToFile(ns(dir.file("ours.plist")), true));
    std::string out;
    ASSERT_TRUE(run("/usr/bin/plistutil -i " + dir.file("ours.plist") + " -o " + dir.file("theirs.bin") +
                        " -f bin 2>&1",
                    &out))
        << out;
    ASSERT_TRUE(readBytes(dir.file("theirs.bin")).starts_with("bplist00"));
    expectSample(NS::Dictionary::dictionaryWithContentsOfFile(ns(dir.file("theirs.bin"))));
    // And back to XML: the same text as ours.
    ASSERT_TRUE(run("/usr/bin/plistutil -i " + dir.file("theirs.bin") + " -o " + dir.file("again.plist") +
                    " -f xml 2>&1"));
    EXPECT_EQ(readBytes(dir.file("again.plist")), readBytes(dir.file("ours.plist")));
}

TEST_F(PropertyListTest, PythonPlistlibReadsOurFiles) {
    std::string python;
    if (!run("command -v python3", &python) || python.empty()) {
        GTEST_SKIP() << "python3 is not installed";
    }
    ASSERT_TRUE(sample()->writeToFile(ns(dir.file("ours.plist")), true));
    const std::string script = "import plistlib, sys\n"
                               "d = plistlib.load(open(sys.argv[1], 'rb'))\n"
                               "for k, v in d.items():\n"
                               "    print(k, type(v).__name__, v.hex() if isinstance(v, bytes) else v)\n";
    writeBytes(dir.file("read.py"), script);
    std::string out;
    ASSERT_TRUE(run("python3 " + dir.file("read.py") + " " + dir.file("ours.plist") + " 2>&1", &out)) << out;
    EXPECT_EQ(out, "isEnabled bool True\n"
                   "isHidden bool False\n"
                   "one int 1\n"
                   "negative int -42\n"
                   "half float 0.5\n"
                   "name str Gl\xC3\xAFntmere <&>\n"
                   "when datetime 2001-01-02 00:00:00\n"
                   "blob bytes 000102ff\n"
                   "list list ['a', 2]\n"
                   "nested dict {'k': 'inner'}\n");
}

} // namespace
