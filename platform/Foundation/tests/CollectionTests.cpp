#include "Foundation/Foundation.hpp"
#include "Foundation/NSAutoreleasePoolInternals.hpp"
#include "objc/ClassBuilder.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace NS::literals;
using objc::operator""_sel;

class CollectionTest : public ::testing::Test {
  protected:
    NS::AutoreleaseScope pool;
};

int deaths = 0;
struct Mortal : NS::Referencing<Mortal, "TestMortal"> {};
void countingDealloc(NS::Object* self) {
    ++deaths;
    NS::Object::dealloc_.super<Mortal>(self);
}
NS::Object* mortal() {
    static Class cls = objc::ClassDefinition<NS::Object>("TestMortal", "NSObject")
                           .method<&countingDealloc>(NS::Object::dealloc_)
                           .build();
    return reinterpret_cast<NS::Object*>(objc::send<id>(cls, "new"_sel));
}

std::vector<std::string> strings(NS::Array* array) {
    std::vector<std::string> out;
    for (NS::Object* o : *array) {
        out.push_back(o->description()->str());
    }
    return out;
}

TEST_F(CollectionTest, ArraysHoldTheirElementsUntilTheyGo) {
    deaths = 0;
    {
        NS::AutoreleaseScope inner;
        auto array = objc::adopt(NS::MutableArray::alloc()->init());
        NS::Object* element = mortal();
        array->addObject(element);
        element->release();
        EXPECT_EQ(deaths, 0);
        array->replaceObjectAtIndex(0, "x"_ns);
        EXPECT_EQ(deaths, 1);
        array->addObject(element = mortal());
        element->release();
    }
    EXPECT_EQ(deaths, 2);
}

TEST_F(CollectionTest, MutableArraysInsertRemoveAndFind) {
    NS::MutableArray* a = NS::MutableArray::arrayWithObjects({"b"_ns, "d"_ns});
    a->insertObject("a"_ns, 0);
    a->insertObject("c"_ns, 2);
    a->insertObject("e"_ns, 4);
    EXPECT_EQ(strings(a), (std::vector<std::string>{"a", "b", "c", "d", "e"}));
    EXPECT_EQ(a->indexOfObject("c"_ns), 2u); // by equality, not identity
    EXPECT_TRUE(a->containsObject("e"_ns));
    EXPECT_EQ(a->indexOfObject("z"_ns), NS::NotFound);
    EXPECT_EQ(a->indexOfObject(nullptr), NS::NotFound);
    a->removeObjectAtIndex(1);
    a->removeObject("e"_ns);
    EXPECT_EQ(strings(a), (std::vector<std::string>{"a", "c", "d"}));
    EXPECT_EQ(a->firstObject()->description()->str(), "a");
    EXPECT_EQ(a->lastObject()->description()->str(), "d");
    a->removeAllObjects();
    EXPECT_EQ(a->count(), 0u);
    EXPECT_EQ(a->firstObject(), nullptr);
    EXPECT_EQ(a->lastObject(), nullptr);
}

TEST_F(CollectionTest, NilIsRefusedWithoutChangingAnything) {
    NS::MutableArray* a = NS::MutableArray::array();
    a->addObject("x"_ns);
    testing::internal::CaptureStderr();
    a->addObject(nullptr);
    a->insertObject(nullptr, 0);
    a->replaceObjectAtIndex(0, nullptr);
    NS::Array* fromList = NS::Array::arrayWithObjects({"1"_ns, nullptr, "2"_ns});
    std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(strings(a), std::vector<std::string>{"x"});
    EXPECT_EQ(strings(fromList), (std::vector<std::string>{"1", "2"}));
    EXPECT_NE(said.find("-[NSMutableArray addObject:]: object cannot be nil"), std::string::npos) << said;

    NS::MutableDictionary* d = NS::MutableDictionary::dictionary();
    d->setObjectForKey("v"_ns, "k"_ns);
    testing::internal::CaptureStderr();
    d->setObjectForKey(nullptr, "k"_ns);
    d->setObjectForKey("w"_ns, nullptr);
    said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(d->count(), 1u);
    EXPECT_TRUE(NS::cast<NS::String>(d->objectForKey("k"_ns))->isEqualToString("v"_ns));
    EXPECT_NE(said.find("setObject:forKey:]: object cannot be nil"), std::string::npos) << said;
    EXPECT_NE(said.find("setObject:forKey:]: key cannot be nil"), std::string::npos) << said;
}

TEST(CollectionDeathTest, IndexPastTheEndStopsLikeTheException) {
    NS::AutoreleaseScope pool;
    NS::Array* a = NS::Array::arrayWithObjects({"only"_ns});
    EXPECT_DEATH(a->objectAtIndex(1), "NSRangeException.*index 1 beyond bounds \\[0 \\.\\. 0\\]");
    NS::MutableArray* m = NS::MutableArray::array();
    EXPECT_DEATH(m->removeObjectAtIndex(0), "index 0 beyond bounds for empty array");
    EXPECT_DEATH(m->insertObject("x"_ns, 2), "NSRangeException");
}

TEST_F(CollectionTest, CopiesOfMutableCollectionsAreSnapshots) {
    NS::MutableArray* a = NS::MutableArray::arrayWithObjects({"1"_ns});
    auto frozen = objc::adopt(a->copy().as<NS::Array>());
    a->addObject("2"_ns);
    EXPECT_EQ(frozen->count(), 1u);
    EXPECT_FALSE(frozen->respondsToSelector("addObject:"_sel));
    auto thawed = objc::adopt(frozen->mutableCopy().as<NS::MutableArray>());
    thawed->addObject("3"_ns);
    EXPECT_EQ(frozen->count(), 1u);
    EXPECT_TRUE(a->isEqualToArray(NS::Array::arrayWithObjects({"1"_ns, "2"_ns})));
    NS::Array* longer = a->arrayByAddingObject("3"_ns);
    EXPECT_EQ(strings(longer), (std::vector<std::string>{"1", "2", "3"}));
    EXPECT_FALSE(longer->respondsToSelector("addObject:"_sel));
    EXPECT_EQ(a->count(), 2u);

    NS::MutableDictionary* d = NS::MutableDictionary::dictionary();
    d->setObjectForKey("v"_ns, "k"_ns);
    auto snapshot = objc::adopt(d->copy().as<NS::Dictionary>());
    d->removeObjectForKey("k"_ns);
    EXPECT_EQ(snapshot->count(), 1u);
    EXPECT_EQ(d->count(), 0u);
}

TEST_F(CollectionTest, DictionaryKeysCompareByValueAndKeepInsertionOrder) {
    NS::MutableDictionary* d = NS::MutableDictionary::dictionary();
    for (const char* k : {"zeta", "alpha", "mid", "beta"}) {
        d->setObjectForKey(NS::Number::number(static_cast<int>(std::string(k).size())),
                           NS::String::string(k));
    }
    // A different string object with the same text finds the entry.
    std::string key = "al";
    key += "pha";
    EXPECT_EQ(NS::cast<NS::Number>(d->objectForKey(NS::String::string(key)))->intValue(), 5);
    d->setObjectForKey("again"_ns, "mid"_ns); // replaces in place
    EXPECT_EQ(strings(d->allKeys()), (std::vector<std::string>{"zeta", "alpha", "mid", "beta"}));
    EXPECT_EQ(d->objectForKey(nullptr), nullptr);
    EXPECT_EQ(d->objectForKey("missing"_ns), nullptr);
    // Numbers are keys too, equal across types.
    d->setObjectForKey("one"_ns, NS::Number::number(1));
    EXPECT_NE(d->objectForKey(NS::Number::number(1.0)), nullptr);
    d->removeObjectForKey("alpha"_ns);
    d->removeObjectForKey("alpha"_ns);
    EXPECT_EQ(d->count(), 4u);
    EXPECT_EQ(d->objectForKey("alpha"_ns), nullptr);
    EXPECT_EQ(strings(d->allValues()), (std::vector<std::string>{"4", "again", "4", "one"}));
}

TEST_F(CollectionTest, DictionariesFindEveryKeyAsTheyGrowPastAFewEntriesAndShrinkBack) {
    NS::MutableDictionary* d = NS::MutableDictionary::dictionary();
    auto key = [](int k) { return NS::String::string(("key" + std::to_string(k)).c_str()); };
    // The keys `held` says find their own values; no other key is there.
    auto holds = [&](auto held) {
        unsigned long count = 0;
        for (int k = 0; k < 24; ++k) {
            NS::Object* value = d->objectForKey(key(k));
            if (held(k)) {
                ++count;
                ASSERT_NE(value, nullptr) << k;
                EXPECT_EQ(NS::cast<NS::Number>(value)->intValue(), k);
            } else {
                EXPECT_EQ(value, nullptr) << k;
            }
        }
        EXPECT_EQ(d->count(), count);
    };
    for (int k = 0; k < 20; ++k) {
        d->setObjectForKey(NS::Number::number(k), key(k));
        holds([&](int n) { return n <= k; });
    }
    d->setObjectForKey(NS::Number::number(3), key(3)); // replaces in place
    EXPECT_EQ(NS::cast<NS::String>(d->allKeys()->objectAtIndex(3))->str(), "key3");
    for (int k = 0; k < 17; ++k) {
        d->removeObjectForKey(key(k));
        holds([&](int n) { return n > k && n < 20; });
    }
    // Past a few entries again, with keys that were there before, then some taken out again.
    for (int k = 16; k > 4; --k) {
        d->setObjectForKey(NS::Number::number(k), key(k));
    }
    holds([](int n) { return n >= 5 && n < 20; });
    for (int k = 12; k < 17; ++k) {
        d->removeObjectForKey(key(k));
    }
    holds([](int n) { return (n >= 5 && n < 12) || (n >= 17 && n < 20); });
    EXPECT_EQ(strings(d->allKeys()), (std::vector<std::string>{"key17", "key18", "key19", "key11", "key10",
                                                               "key9", "key8", "key7", "key6", "key5"}));
}

TEST_F(CollectionTest, StoredKeysAreCopiesSoLaterChangesCannotMoveThem) {
    NS::MutableDictionary* d = NS::MutableDictionary::dictionary();
    auto keyArray = objc::adopt(NS::MutableArray::alloc()->init());
    keyArray->addObject("a"_ns);
    d->setObjectForKey("value"_ns, keyArray.get());
    keyArray->addObject("b"_ns);
    EXPECT_NE(d->objectForKey(NS::Array::arrayWithObjects({"a"_ns})), nullptr);
    EXPECT_EQ(d->objectForKey(keyArray.get()), nullptr);
}

TEST_F(CollectionTest, AddingEntriesMergesAndOverwrites) {
    NS::MutableDictionary* d = NS::MutableDictionary::dictionary();
    d->setObjectForKey(NS::Number::number(true), "isEnabled"_ns);
    d->setObjectForKey("kept"_ns, "other"_ns);
    NS::Dictionary* update = NS::Dictionary::dictionaryWithObjects({NS::Number::number(false), "new"_ns},
                                                                   {"isEnabled"_ns, "added"_ns});
    d->addEntriesFromDictionary(update);
    d->addEntriesFromDictionary(nullptr);
    EXPECT_EQ(d->count(), 3u);
    EXPECT_FALSE(NS::cast<NS::Number>(d->objectForKey("isEnabled"_ns))->boolValue());
    EXPECT_TRUE(d->isEqualToDictionary(NS::Dictionary::dictionaryWithObjects(
        {"new"_ns, "kept"_ns, NS::Number::number(0)}, {"added"_ns, "other"_ns, "isEnabled"_ns})));
    EXPECT_FALSE(d->isEqualToDictionary(update));
}

TEST_F(CollectionTest, DescriptionsReadAsOldStylePropertyLists) {
    NS::Dictionary* d = NS::Dictionary::dictionaryWithObjects(
        {NS::Array::arrayWithObjects({NS::Number::number(1), "two words"_ns}), NS::Number::number(true)},
        {"list"_ns, "on"_ns});
    EXPECT_EQ(d->description()->str(),
              "{\n    list = (\n        1,\n        \"two words\"\n    );\n    on = 1;\n}");
    EXPECT_EQ(NS::Array::array()->description()->str(), "(\n)");
    unsigned char bytes[] = {0, 1, 0xfe, 0xff, 0x10};
    EXPECT_EQ(NS::Data::dataWithBytes(bytes, sizeof bytes)->description()->str(), "<0001feff 10>");
    EXPECT_EQ(NS::Array::arrayWithObjects({"a"_ns, NS::Number::number(2)})
                  ->componentsJoinedByString(", "_ns)
                  ->str(),
              "a, 2");
}

TEST_F(CollectionTest, DataComparesAndCopiesBytes) {
    std::string text("bytes\0with nul", 14);
    NS::Data* a = NS::Data::dataWithBytes(text.data(), text.size());
    text[0] = 'X'; // the data holds its own copy
    EXPECT_EQ(std::string(static_cast<const char*>(a->bytes()), a->length()),
              std::string("bytes\0with nul", 14));
    EXPECT_TRUE(a->isEqualToData(NS::Data::dataWithBytes("bytes\0with nul", 14)));
    EXPECT_FALSE(a->isEqualToData(NS::Data::dataWithBytes("bytes", 5)));
    EXPECT_FALSE(a->isEqual("bytes"_ns));
    EXPECT_EQ(NS::Data::dataWithBytes(nullptr, 0)->length(), 0u);
    EXPECT_EQ(NS::Data::dataWithContentsOfFile("/nonexistent/file"_ns), nullptr);
    EXPECT_EQ(NS::Data::dataWithContentsOfFile("/"_ns), nullptr); // a directory
}

TEST_F(CollectionTest, UrlsSplitIntoTheirParts) {
    NS::URL* u = NS::URL::URLWithString("https://user@example.com:8080/a/b%20c/?q=1#top"_ns);
    ASSERT_NE(u, nullptr);
    EXPECT_EQ(u->scheme()->str(), "https");
    EXPECT_EQ(u->host()->str(), "example.com");
    EXPECT_EQ(u->path()->str(), "/a/b c");
    EXPECT_EQ(u->query()->str(), "q=1");
    EXPECT_EQ(u->fragment()->str(), "top");
    EXPECT_EQ(u->absoluteString()->str(), "https://user@example.com:8080/a/b%20c/?q=1#top");
    EXPECT_EQ(u->relativeString()->str(), u->absoluteString()->str());
    EXPECT_EQ(u->description()->str(), u->absoluteString()->str());
    EXPECT_EQ(u->lastPathComponent()->str(), "b c");
    EXPECT_FALSE(u->isFileURL());

    NS::URL* cydia = NS::URL::URLWithString("cydia://package/com.brightmoth.glintmere"_ns);
    EXPECT_EQ(cydia->scheme()->str(), "cydia");
    EXPECT_EQ(cydia->host()->str(), "package");
    EXPECT_EQ(cydia->path()->str(), "/com.brightmoth.glintmere");
    EXPECT_EQ(NS::URL::URLWithString("mailto:someone@example.com"_ns)->path(), nullptr);
    EXPECT_EQ(NS::URL::URLWithString("http://[::1]:80/"_ns)->host()->str(), "::1");
    EXPECT_EQ(NS::URL::URLWithString("relative/path"_ns)->scheme(), nullptr);
}

TEST_F(CollectionTest, MalformedUrlsAreNil) {
    for (const char* bad : {"", "http://exa mple.com", "http://x/%zz", "http://x/%4", "a#b#c",
                            "http://x/\"q\"", "http://x/<>", "http://x/\xC3\xA9"}) {
        EXPECT_EQ(NS::URL::URLWithString(NS::String::string(bad)), nullptr) << bad;
    }
    EXPECT_EQ(NS::URL::URLWithString(nullptr), nullptr);
}

TEST_F(CollectionTest, FileUrlsEscapeThePath) {
    NS::URL* f = NS::URL::fileURLWithPath("/tmp/a b/c#d.plist"_ns);
    EXPECT_TRUE(f->isFileURL());
    EXPECT_EQ(f->absoluteString()->str(), "file:///tmp/a%20b/c%23d.plist");
    EXPECT_EQ(f->path()->str(), "/tmp/a b/c#d.plist");
    EXPECT_EQ(f->pathExtension()->str(), "plist");
    EXPECT_EQ(f->host(), nullptr);
    EXPECT_EQ(NS::URL::fileURLWithPath("/"_ns)->absoluteString()->str(), "file:///");
    EXPECT_EQ(NS::URL::fileURLWithPath("/tmp"_ns)->absoluteString()->str(), "file:///tmp/");
    EXPECT_TRUE(NS::URL::fileURLWithPath("/tmp/x"_ns)->isEqual(NS::URL::URLWithString("file:///tmp/x"_ns)));
}

} // namespace
