#include "Foundation/Foundation.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <ctime>
#include <string>

namespace {

using namespace NS::literals;
using objc::operator""_sel;

class ValueTest : public ::testing::Test {
  protected:
    NS::AutoreleaseScope pool;
};

TEST_F(ValueTest, StringEqualityIsExactAndNilIsUnequal) {
    NS::String* a = NS::String::string("Glintmere");
    EXPECT_TRUE(a->isEqualToString("Glintmere"_ns));
    EXPECT_FALSE(a->isEqualToString("glintmere"_ns));
    EXPECT_FALSE(a->isEqualToString("Glintmere "_ns));
    EXPECT_FALSE(a->isEqualToString(nullptr));
    EXPECT_FALSE(a->isEqual(nullptr));
    EXPECT_TRUE(a->isEqual("Glintmere"_ns));
    EXPECT_EQ(a->hash(), "Glintmere"_ns->hash());
    // A number whose description matches is still not a string.
    EXPECT_FALSE("1"_ns->isEqual(NS::Number::number(1)));
}

TEST_F(ValueTest, StringsKeepUtf8AndCountUtf16Units) {
    NS::String* s = NS::String::string("h\xC3\xA9llo \xF0\x9F\x98\x80");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->str(), "h\xC3\xA9llo \xF0\x9F\x98\x80");
    EXPECT_EQ(s->length(), 8u); // the emoji is a surrogate pair
    EXPECT_EQ(s->byteLength(), 11u);
    EXPECT_EQ(NS::String::string(static_cast<const char*>(nullptr)), nullptr);
    EXPECT_EQ(NS::String::string("\xC3"), nullptr);         // cut short
    EXPECT_EQ(NS::String::string("\xC0\xAF"), nullptr);     // overlong
    EXPECT_EQ(NS::String::string("\xED\xA0\x80"), nullptr); // a lone surrogate
    EXPECT_EQ(
        objc::send<id>(NS::String::alloc(), "initWithUTF8String:"_sel, static_cast<const char*>(nullptr)),
        nil);
    EXPECT_EQ(NS::String::string(std::string_view())->str(), "");
    EXPECT_EQ(NS::String::string(std::string_view("a\0b", 3))->byteLength(), 3u);
    NS::String* joined = "ab"_ns->stringByAppendingString("cd"_ns);
    EXPECT_EQ(joined->str(), "abcd");
    EXPECT_EQ("ab"_ns->stringByAppendingString(nullptr)->str(), "ab");
}

TEST_F(ValueTest, OwnedStringsAreFreedWithTheirText) {
    auto owned = objc::adopt(NS::String::alloc()->initWithUTF8String("kept"));
    auto copy = objc::adopt(owned->copy().as<NS::String>());
    EXPECT_EQ(copy.get(), owned.get()); // immutable: a copy is the same object
    EXPECT_EQ(owned->retainCount(), 2u);
    EXPECT_EQ(owned->description()->str(), "kept");
}

struct PathCase {
    const char* path;
    const char* last;
    const char* extension;
    const char* withoutExtension;
    const char* parent;
};

TEST_F(ValueTest, PathComponentsFollowCocoa) {
    const PathCase cases[] = {
        {"/tmp/scratch.tiff", "scratch.tiff", "tiff", "/tmp/scratch", "/tmp"},
        {"/tmp/lock/", "lock", "", "/tmp/lock", "/tmp"},
        {"/tmp/", "tmp", "", "/tmp", "/"},
        {"/", "/", "", "/", "/"},
        {"scratch..tiff", "scratch..tiff", "tiff", "scratch.", ""},
        {".hidden", ".hidden", "", ".hidden", ""},
        {"dir.d/file", "file", "", "dir.d/file", "dir.d"},
        {"a//b.c", "b.c", "c", "a/b", "a"},
        {"", "", "", "", ""},
    };
    for (const PathCase& c : cases) {
        SCOPED_TRACE(c.path);
        NS::String* p = NS::String::string(c.path);
        EXPECT_EQ(p->lastPathComponent()->str(), c.last);
        EXPECT_EQ(p->pathExtension()->str(), c.extension);
        EXPECT_EQ(p->stringByDeletingPathExtension()->str(), c.withoutExtension);
        EXPECT_EQ(p->stringByDeletingLastPathComponent()->str(), c.parent);
    }
    EXPECT_EQ("/tmp/"_ns->stringByAppendingPathComponent("x"_ns)->str(), "/tmp/x");
    EXPECT_EQ("/"_ns->stringByAppendingPathComponent("x"_ns)->str(), "/x");
    EXPECT_EQ(""_ns->stringByAppendingPathComponent("x/"_ns)->str(), "x");
    EXPECT_EQ("a"_ns->stringByAppendingPathComponent("/b//c/"_ns)->str(), "a/b/c");
    EXPECT_EQ("a/"_ns->stringByAppendingPathComponent(nullptr)->str(), "a");
    EXPECT_EQ("Info"_ns->stringByAppendingPathExtension("plist"_ns)->str(), "Info.plist");
}

TEST_F(ValueTest, StringBoolValueReadsLikeCocoa) {
    for (const char* yes : {"YES", "yes", "true", "T", "1", "  7", "+1", "-5", "0001", "\t\ny", "9 lives"}) {
        EXPECT_TRUE(NS::String::string(yes)->boolValue()) << yes;
    }
    for (const char* no : {"", "NO", "no", "false", "0", "000", " ", "x1", "on", "-0", "+", "0x1", "  N"}) {
        EXPECT_FALSE(NS::String::string(no)->boolValue()) << no;
    }
}

TEST_F(ValueTest, StringNumbersTakeTheLeadingNumberAndSaturate) {
    EXPECT_EQ(" 42abc"_ns->intValue(), 42);
    EXPECT_EQ("-17"_ns->intValue(), -17);
    EXPECT_EQ("abc"_ns->intValue(), 0);
    EXPECT_EQ("99999999999"_ns->intValue(), 2147483647);
    EXPECT_EQ("-99999999999"_ns->intValue(), -2147483647 - 1);
    EXPECT_EQ("99999999999"_ns->longLongValue(), 99999999999LL);
    EXPECT_EQ("123456789012345678901234"_ns->longLongValue(), 9223372036854775807LL);
    EXPECT_EQ("-123456789012345678901234"_ns->longLongValue(), -9223372036854775807LL - 1);
    EXPECT_DOUBLE_EQ(" 2.5e3x"_ns->doubleValue(), 2500.0);
    EXPECT_DOUBLE_EQ("-.5"_ns->doubleValue(), -0.5);
    EXPECT_DOUBLE_EQ("7e"_ns->doubleValue(), 7.0);
    EXPECT_EQ("inf"_ns->doubleValue(), 0.0);
    EXPECT_EQ("nan"_ns->doubleValue(), 0.0);
    EXPECT_EQ("."_ns->doubleValue(), 0.0);
    EXPECT_FLOAT_EQ("0.25"_ns->floatValue(), 0.25f);
}

TEST_F(ValueTest, BooleansStayDistinctFromIntegers) {
    NS::Number* yes = NS::Number::number(true);
    NS::Number* one = NS::Number::number(1);
    NS::Number* no = NS::Number::number(false);
    EXPECT_TRUE(yes->isBoolean());
    EXPECT_TRUE(no->isBoolean());
    EXPECT_FALSE(one->isBoolean());
    EXPECT_FALSE(NS::Number::number(0.0)->isBoolean());
    EXPECT_STREQ(yes->objCType(), "c");
    EXPECT_STREQ(one->objCType(), "i");
    EXPECT_TRUE(yes->isKindOfClass(NS::Number::runtimeClass()));
    auto made = objc::adopt(NS::Number::alloc()->initWithBool(true));
    EXPECT_TRUE(made->isBoolean());
    // Values compare as Cocoa compares them: YES is 1, whatever the type.
    EXPECT_TRUE(yes->isEqualToNumber(one));
    EXPECT_EQ(yes->hash(), one->hash());
    EXPECT_FALSE(yes->isEqualToNumber(no));
    EXPECT_EQ(yes->description()->str(), "1");
    EXPECT_EQ(no->description()->str(), "0");
}

TEST_F(ValueTest, NumberBoolValueAndConversions) {
    EXPECT_TRUE(NS::Number::number(true)->boolValue());
    EXPECT_FALSE(NS::Number::number(false)->boolValue());
    EXPECT_TRUE(NS::Number::number(2)->boolValue());
    EXPECT_TRUE(NS::Number::number(256)->boolValue()); // not a truncation to a byte
    EXPECT_TRUE(NS::Number::number(-1)->boolValue());
    EXPECT_FALSE(NS::Number::number(0)->boolValue());
    EXPECT_TRUE(NS::Number::number(0.5)->boolValue());
    EXPECT_FALSE(NS::Number::number(0.0)->boolValue());
    EXPECT_EQ(NS::Number::number(2.9)->intValue(), 2);
    EXPECT_EQ(NS::Number::number(-2.9)->intValue(), -2);
    EXPECT_EQ(NS::Number::number(1e300)->intValue(), 2147483647);
    EXPECT_EQ(NS::Number::number(std::nan(""))->longLongValue(), 0);
    EXPECT_EQ(NS::Number::number(true)->intValue(), 1);
    EXPECT_DOUBLE_EQ(NS::Number::number(7)->doubleValue(), 7.0);
    EXPECT_EQ(NS::Number::number(18446744073709551615ull)->unsignedLongLongValue(), 18446744073709551615ull);
    EXPECT_EQ(NS::Number::number(0.5)->description()->str(), "0.5");
    EXPECT_EQ(NS::Number::number(0.1f)->description()->str(), "0.1");
    EXPECT_EQ(NS::Number::number(-12LL)->description()->str(), "-12");
    EXPECT_EQ(NS::Number::number(18446744073709551615ull)->description()->str(), "18446744073709551615");
}

TEST_F(ValueTest, NumberStringValueIsItsDescription) {
    EXPECT_EQ(NS::Number::number(0.5)->stringValue()->str(), "0.5");
    EXPECT_EQ(NS::Number::number(-12LL)->stringValue()->str(), "-12");
    EXPECT_EQ(NS::Number::number(true)->stringValue()->str(), "1");
}

// Each initialiser and factory keeps the type it was given, as objCType tells.
TEST_F(ValueTest, EveryInitialiserKeepsItsType) {
    using NS::Number;
    auto made = [](objc::Ptr<Number> number) {
        objc::Ref<Number> owned = objc::adopt(number);
        return std::string(owned->objCType()) + " " + owned->description()->str();
    };
    EXPECT_EQ(made(Number::alloc()->initWithInt(-3)), "i -3");
    EXPECT_EQ(made(Number::alloc()->initWithUnsignedInt(4000000000u)), "I 4000000000");
    EXPECT_EQ(made(Number::alloc()->initWithLong(-5)), "q -5");
    EXPECT_EQ(made(Number::alloc()->initWithInteger(-6)), "q -6");
    EXPECT_EQ(made(Number::alloc()->initWithUnsignedLong(7)), "q 7");
    EXPECT_EQ(made(Number::alloc()->initWithUnsignedInteger(18446744073709551615ul)),
              "Q 18446744073709551615");
    EXPECT_EQ(made(Number::alloc()->initWithLongLong(-9)), "q -9");
    EXPECT_EQ(made(Number::alloc()->initWithUnsignedLongLong(10)), "q 10");
    EXPECT_EQ(made(Number::alloc()->initWithFloat(0.5f)), "f 0.5");
    EXPECT_EQ(made(Number::alloc()->initWithDouble(0.25)), "d 0.25");
    EXPECT_EQ(made(Number::alloc()->initWithBool(false)), "c 0");

    auto kept = [](objc::Ptr<Number> number) {
        return std::string(number->objCType()) + " " + number->description()->str();
    };
    EXPECT_EQ(kept(Number::numberWithInteger_.send(Number::runtimeClass(), -11L)), "q -11");
    EXPECT_EQ(kept(Number::numberWithUnsignedInteger_.send(Number::runtimeClass(), 12ul)), "q 12");
    EXPECT_EQ(kept(Number::number(4000000001u)), "I 4000000001");
    EXPECT_EQ(kept(Number::number(13L)), "q 13");
    EXPECT_EQ(kept(Number::number(0.75f)), "f 0.75");
}

TEST_F(ValueTest, NumbersCompareAcrossTypes) {
    EXPECT_TRUE(NS::Number::number(1)->isEqualToNumber(NS::Number::number(1.0)));
    EXPECT_EQ(NS::Number::number(3)->hash(), NS::Number::number(3.0)->hash());
    EXPECT_FALSE(NS::Number::number(1)->isEqualToNumber(NS::Number::number(1.5)));
    EXPECT_FALSE(NS::Number::number(1)->isEqualToNumber(nullptr));
    EXPECT_FALSE(NS::Number::number(1)->isEqual("1"_ns));
    // An unsigned value past the signed range is larger, not negative.
    EXPECT_EQ(NS::Number::number(18446744073709551615ull)->compare(NS::Number::number(-1)), 1);
    EXPECT_FALSE(NS::Number::number(18446744073709551615ull)->isEqualToNumber(NS::Number::number(-1)));
    EXPECT_EQ(NS::Number::number(2)->compare(NS::Number::number(2.5)), -1);
}

TEST_F(ValueTest, DatesFollowTheWallClock) {
    NS::Date* now = NS::Date::date();
    double unixNow = static_cast<double>(std::time(nullptr));
    EXPECT_NEAR(now->timeIntervalSince1970(), unixNow, 2.0);
    EXPECT_NEAR(now->timeIntervalSinceReferenceDate(), unixNow - 978307200.0, 2.0);
    NS::Date* later = NS::Date::dateWithTimeIntervalSinceNow(60);
    EXPECT_NEAR(later->timeIntervalSinceNow(), 60.0, 1.0);
    EXPECT_EQ(now->compare(later), -1);
    EXPECT_EQ(now->earlierDate(later), now);
    EXPECT_EQ(now->laterDate(later), later);
    EXPECT_GT(NS::Date::distantFuture()->timeIntervalSinceNow(), 1e10);
    EXPECT_LT(NS::Date::distantPast()->timeIntervalSinceNow(), -1e10);
    NS::Date* epoch = NS::Date::dateWithTimeIntervalSinceReferenceDate(0);
    EXPECT_EQ(epoch->description()->str(), "2001-01-01 00:00:00 +0000");
    EXPECT_EQ(NS::Date::dateWithTimeIntervalSince1970(0)->description()->str(), "1970-01-01 00:00:00 +0000");
    EXPECT_TRUE(epoch->isEqualToDate(NS::Date::dateWithTimeIntervalSince1970(978307200.0)));
    EXPECT_DOUBLE_EQ(epoch->dateByAddingTimeInterval(1.5)->timeIntervalSinceDate(epoch), 1.5);
}

TEST_F(ValueTest, RootObjectsDescribeThemselves) {
    auto object = objc::adopt(NS::RootObject::make());
    std::string text = object->description()->str();
    EXPECT_TRUE(text.starts_with("<NSObject: 0x")) << text;
    EXPECT_EQ(text.back(), '>');
    auto classDescription = objc::send<NS::String*>(NS::Number::runtimeClass(), "description"_sel);
    EXPECT_EQ(classDescription->str(), "NSNumber");
}

} // namespace
