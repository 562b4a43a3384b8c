// Method signatures read back from the runtime: encodings as GNU and Apple write them, what the
// bridge records for a view's messages, and whether an object may be passed where one is declared.
#include "Foundation/NSArray.hpp"
#include "Foundation/NSObject.hpp"
#include "Foundation/NSString.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/MethodSignature.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using objc::MethodSignature;
using objc::operator""_sel;

class Sample : public NS::Referencing<Sample, "TestSignatureSample"> {
  public:
    OBJC_MESSAGE(takeString, "takeString:", void(NS::String*))
    OBJC_MESSAGE(itemsFor, "itemsFor:count:", NS::Array*(id, long))
    OBJC_MESSAGE(flag, "flag", bool())
    OBJC_CLASS_MESSAGE(named, "sampleNamed:", Sample*(NS::String*))
};

class SpecialString : public NS::Referencing<SpecialString, "TestSignatureString", NS::String> {};

class Signatures : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        objc::ClassDefinition<Sample>()
            .property<Sample*>("next")
            .method(Sample::takeString_, [](Sample*, NS::String*) {})
            .method(Sample::itemsFor_, [](Sample*, id, long) -> NS::Array* { return nullptr; })
            .method(Sample::flag_, [](Sample*) { return true; })
            .method(Sample::named_, [](Class, NS::String*) -> Sample* { return nullptr; })
            .build();
        objc::ClassDefinition<SpecialString>().build();
    }
};

MethodSignature parsed(const char* types) {
    auto signature = MethodSignature::parse(types);
    EXPECT_TRUE(signature.has_value()) << types;
    return signature.value_or(MethodSignature{});
}

TEST(MethodSignatureEncodings, OffsetsAndQualifiersAreLeftOutOfEachType) {
    const MethodSignature gnu = parsed("v24@0:8@\"UIView\"16");
    EXPECT_EQ(gnu.result, "v");
    EXPECT_EQ(gnu.arguments, std::vector<std::string>{"@\"UIView\""});

    const MethodSignature qualified = parsed("Vv40@0:8r*16n^{CGRect={CGPoint=dd}{CGSize=dd}}24o^@32");
    EXPECT_EQ(qualified.result, "v");
    EXPECT_EQ(qualified.arguments,
              (std::vector<std::string>{"*", "^{CGRect={CGPoint=dd}{CGSize=dd}}", "^@"}));

    const MethodSignature mixed = parsed("@@:@?[4i](u=ic)B{?=\"x\"d\"y\"d}b3^?-8q");
    EXPECT_EQ(mixed.result, "@");
    EXPECT_EQ(mixed.arguments,
              (std::vector<std::string>{"@?", "[4i]", "(u=ic)", "B", "{?=\"x\"d\"y\"d}", "b3", "^?", "q"}));
    // A class method's receiver is a class.
    EXPECT_TRUE(MethodSignature::parse("v#:").has_value());
}

TEST(MethodSignatureEncodings, MalformedEncodingsAreNotRead) {
    for (const char* types :
         {"", "v", "v@", "v@@", "vi:", "v@:@\"UIView", "v@:{CGRect=dd", "v@:[4i", "v@:^", "v@:%", "v@:b"}) {
        EXPECT_FALSE(MethodSignature::parse(types).has_value()) << types;
    }
    // Nesting deeper than any method has is refused rather than followed.
    const std::string deep = "v@:" + std::string(10000, '^') + "i";
    EXPECT_FALSE(MethodSignature::parse(deep).has_value());
}

TEST(MethodSignatureEncodings, SplittingSaysWhyAnEncodingIsNotRead) {
    std::string error;
    const auto split = objc::splitTypes("v24@0:8r^{CGPoint=dd}16[2{?=\"x\"i}]24", error);
    ASSERT_TRUE(split.has_value()) << error;
    EXPECT_EQ(*split, (std::vector<std::string_view>{"v", "@", ":", "^{CGPoint=dd}", "[2{?=\"x\"i}]"}));
    // Nesting counts through pointers, arrays and structs alike: 32 levels are read, 33 are not.
    EXPECT_TRUE(objc::splitTypes(std::string(32, '^') + "i", error).has_value()) << error;
    EXPECT_FALSE(objc::splitTypes(std::string(33, '^') + "i", error).has_value());
    EXPECT_EQ(error, "nests its types deeper than 32 levels");
    EXPECT_FALSE(objc::splitTypes("{a=" + std::string(20, '^') + "[1" + std::string(12, '^') + "i]}", error));
    EXPECT_EQ(error, "nests its types deeper than 32 levels");
    EXPECT_FALSE(objc::splitTypes("v@:{Open=ii", error).has_value());
    EXPECT_EQ(error, "is malformed at offset 3");
}

TEST(MethodSignatureEncodings, ATypeGivesItsParts) {
    const auto rect = objc::typeParts("{CGRect={CGPoint=dd}{CGSize=\"width\"d\"height\"rd}}");
    ASSERT_TRUE(rect.has_value());
    EXPECT_EQ(rect->name, "CGRect");
    EXPECT_EQ(rect->members,
              (std::vector<std::string_view>{"{CGPoint=dd}", "{CGSize=\"width\"d\"height\"rd}"}));
    EXPECT_EQ(objc::typeParts(rect->members[1])->members, (std::vector<std::string_view>{"d", "d"}));
    // Members keep the parts they are made of, qualifiers and all within them.
    EXPECT_EQ(objc::typeParts("(Value=i^ri[2@\"NSString\"]Aq)")->members,
              (std::vector<std::string_view>{"i", "^ri", "[2@\"NSString\"]", "q"}));
    EXPECT_TRUE(objc::typeParts("{Opaque}")->members.empty());
    EXPECT_EQ(objc::typeParts("{Opaque}")->name, "Opaque");
    EXPECT_TRUE(objc::typeParts("{Empty=}")->members.empty());

    const auto array = objc::typeParts("[12r^{CGPoint=dd}]");
    EXPECT_EQ(array->count, 12u);
    EXPECT_EQ(array->element, "^{CGPoint=dd}");
    EXPECT_EQ(objc::typeParts("[99999999999999999999999i]")->count, SIZE_MAX);
    EXPECT_EQ(objc::typeParts("^n{CGPoint=dd}")->element, "{CGPoint=dd}");
    EXPECT_EQ(objc::typeParts("jd")->element, "d");
    EXPECT_EQ(objc::typeParts("@\"UIView\"")->name, "UIView");
    EXPECT_TRUE(objc::typeParts("@")->name.empty());

    // Only one whole type has parts: not two, not a piece of one, not one nested too deep.
    for (const char* notOne : {"", "ii", "{CGPoint=dd", "[4i", "^", "%", "i8"}) {
        EXPECT_FALSE(objc::typeParts(notOne).has_value()) << notOne;
    }
    EXPECT_TRUE(objc::typeParts(std::string(32, '^') + "i").has_value());
    EXPECT_FALSE(objc::typeParts(std::string(33, '^') + "i").has_value());
}

TEST(MethodSignatureEncodings, DeclarationsReadAsObjectiveC) {
    EXPECT_EQ(parsed("v24@0:8@\"UIView\"16").declaration("setView:"_sel), "- (void)setView:(UIView *)");
    EXPECT_EQ(
        parsed("v@:@\"UIViewController\"B@?").declaration("presentViewController:animated:completion:"_sel),
        "- (void)presentViewController:(UIViewController *) animated:(BOOL) completion:(void (^)())");
    EXPECT_EQ(parsed("@@:").declaration("description"_sel), "- (id)description");
    EXPECT_EQ(parsed("^v@:^^i[3d]{CGRect=dddd}(?=ic)#:").declaration("a:b:c:d:e:f:"_sel),
              "- (void *)a:(int **) b:(double[3]) c:(struct CGRect) d:(union) e:(Class) f:(SEL)");
    // An encoding that does not fit the name still shows what the method takes.
    EXPECT_EQ(parsed("v@:@l").declaration("broken:"_sel), "- (void)broken: (id, long)");
}

TEST_F(Signatures, AViewsMessagesAndPropertiesNameTheClassesTheyPass) {
    const auto sample = objc::adopt(Sample::make());
    id instance = objc::toId(sample);
    const auto take = MethodSignature::of(instance, "takeString:"_sel);
    ASSERT_TRUE(take.has_value());
    EXPECT_EQ(take->declaration("takeString:"_sel), "- (void)takeString:(NSString *)");
    const auto items = MethodSignature::of(instance, "itemsFor:count:"_sel);
    ASSERT_TRUE(items.has_value());
    EXPECT_EQ(items->result, "@\"NSArray\"");
    EXPECT_EQ(items->arguments, (std::vector<std::string>{"@", "l"}));
    EXPECT_EQ(MethodSignature::of(instance, "flag"_sel)->result, "B");
    EXPECT_EQ(MethodSignature::of(instance, "setNext:"_sel)->arguments,
              std::vector<std::string>{"@\"TestSignatureSample\""});
    EXPECT_EQ(MethodSignature::of(instance, "next"_sel)->result, "@\"TestSignatureSample\"");
    // Sent to the class, a selector finds the class method.
    const auto made = MethodSignature::of(reinterpret_cast<id>(Sample::runtimeClass()), "sampleNamed:"_sel);
    ASSERT_TRUE(made.has_value());
    EXPECT_EQ(made->result, "@\"TestSignatureSample\"");
    // Inherited methods are found; what the receiver only forwards, and nil, have no signature.
    EXPECT_TRUE(MethodSignature::of(instance, "retain"_sel).has_value());
    EXPECT_FALSE(MethodSignature::of(instance, "noSuchMessage:"_sel).has_value());
    EXPECT_FALSE(MethodSignature::of(nil, "retain"_sel).has_value());
}

TEST_F(Signatures, AnObjectIsAcceptedWhereItsClassOrASuperclassOrIdIsDeclared) {
    Class string = NS::String::runtimeClass();
    Class special = SpecialString::runtimeClass();
    EXPECT_TRUE(objc::acceptsInstanceOf("@", Sample::runtimeClass()));
    EXPECT_TRUE(objc::acceptsInstanceOf("@\"NSString\"", string));
    EXPECT_TRUE(objc::acceptsInstanceOf("@\"NSString\"", special));
    EXPECT_TRUE(objc::acceptsInstanceOf("@\"NSObject\"", special));
    EXPECT_FALSE(objc::acceptsInstanceOf("@\"TestSignatureString\"", string)) << "a superclass is not enough";
    EXPECT_FALSE(objc::acceptsInstanceOf("@\"NSArray\"", string));
    EXPECT_FALSE(objc::acceptsInstanceOf("@\"NoSuchClassAnywhere\"", string));
    EXPECT_FALSE(objc::acceptsInstanceOf("@\"<NSCopying>\"", string));
    for (const char* notAnObject : {"@?", "#", "l", "B", "^@", "*"}) {
        EXPECT_FALSE(objc::isObjectType(notAnObject)) << notAnObject;
        EXPECT_FALSE(objc::acceptsInstanceOf(notAnObject, string)) << notAnObject;
    }
    EXPECT_FALSE(objc::acceptsInstanceOf("@", Nil));
}

} // namespace
