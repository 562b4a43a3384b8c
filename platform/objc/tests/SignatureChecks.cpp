// Compiled by CheckSignatures.cmake once per case: each case but MATCHING must fail to compile.
#include "Foundation/NSObject.hpp"
#include "Foundation/NSString.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/Internals.hpp"

class Sample : public NS::Referencing<Sample, "Sample"> {
  public:
    OBJC_MESSAGE(valueForKey, "valueForKey:", NS::Object*(NS::String*))
    OBJC_MESSAGE(title, "title", NS::String*())
    OBJC_MESSAGE(setTitle, "setTitle:", void(NS::String*))
    OBJC_MESSAGE(setName, "setName:", void(NS::String*))
    OBJC_MESSAGE(setTitleObject, "setTitle:", void(NS::Object*))
    OBJC_IVAR(_count, long)
    OBJC_IVAR(_title, NS::String*, Owning)
};

class Other : public NS::Referencing<Other, "Other"> {};

// What a stand-in keeps of Sample for itself, and a subclass whose objects hold it too.
class SampleInternals : public objc::Internals<SampleInternals, Sample> {
  public:
    OBJC_IVAR(_hidden, long)
    OBJC_MESSAGE(secret, "_secret", long())
};
class SampleChild : public NS::Referencing<SampleChild, "SampleChild", Sample> {};

[[maybe_unused]] id unchecked(id, SEL, id) { return nil; }

void define() {
#if defined(MATCHING)
    objc::ClassDefinition<Sample>().method(
        Sample::valueForKey_, [](Sample*, objc::Ptr<NS::String>) -> NS::Object* { return nullptr; });
    objc::Ptr<Sample> sample;
    objc::Ptr<NS::Object> value = sample->valueForKey(nullptr);
    (void)value;
    objc::ClassDefinition<Sample>().property(Sample::title_, Sample::setTitle_);
    objc::ClassDefinition<Sample>().ivar(Sample::_count).ivar(Sample::_title);
    long count = objc::ivar(sample, Sample::_count);
    objc::setIvar(sample, Sample::_count, count + 1);
    objc::Ptr<NS::String> kept = objc::ivar(sample, Sample::_title);
    objc::storeOwned(sample, Sample::_title, kept);
    // An inner variable is read through the class's view, a subclass's or the inner view itself.
    objc::Ptr<SampleChild> child;
    long hidden = objc::ivar(sample, SampleInternals::_hidden) + objc::ivar(child, SampleInternals::_hidden);
    objc::setIvar(SampleInternals::of(child), SampleInternals::_hidden,
                  hidden + SampleInternals::of(sample)->secret());
    objc::ClassDefinition<Sample>()
        .ivar(SampleInternals::_hidden)
        .method(SampleInternals::secret_, [](Sample*) -> long { return 0; });
#elif defined(INNER_IVAR_OF_OTHER_VIEW)
    // An inner view's variable is its class's, as a view's own is.
    objc::Ptr<Other> other;
    objc::ivar(other, SampleInternals::_hidden);
#elif defined(INNER_MESSAGE_THROUGH_VIEW)
    // A stand-in's own message is sent through the inner view only.
    objc::Ptr<Sample> sample;
    sample->secret();
#elif defined(IVAR_OF_OTHER_VIEW)
    // A variable is read from its own class's objects only.
    objc::Ptr<Other> other;
    objc::ivar(other, Sample::_count);
#elif defined(IVAR_OF_OTHER_TYPE)
    objc::Ptr<Sample> sample;
    objc::setIvar(sample, Sample::_title, NS::RootObject::alloc()->init());
#elif defined(PLAIN_IVAR_STORED_OWNED)
    objc::Ptr<Sample> sample;
    objc::storeOwned(sample, Sample::_count, 1L);
#elif defined(SELECTOR_BY_NAME)
    // A method is given by the message a view declares, never by a selector's name alone.
    objc::ClassBuilder("Unchecked", "NSObject").method<&unchecked>("valueForKey:");
#elif defined(OTHER_SETTER)
    objc::ClassDefinition<Sample>().property(Sample::title_, Sample::setName_);
#elif defined(SETTER_OF_OTHER_TYPE)
    objc::ClassDefinition<Sample>().property(Sample::title_, Sample::setTitleObject_);
#elif defined(WRONG_RESULT)
    objc::ClassDefinition<Sample>().method(Sample::valueForKey_,
                                           [](Sample*, NS::String*) -> id { return nil; });
#elif defined(WRONG_ARGUMENT)
    objc::ClassDefinition<Sample>().method(Sample::valueForKey_,
                                           [](Sample*, NS::Object*) -> NS::Object* { return nullptr; });
#elif defined(MISSING_ARGUMENT)
    objc::ClassDefinition<Sample>().method(Sample::valueForKey_,
                                           [](Sample*) -> NS::Object* { return nullptr; });
#elif defined(WRONG_RECEIVER)
    objc::ClassDefinition<Sample>().method(Sample::valueForKey_,
                                           [](NS::String*, NS::String*) -> NS::Object* { return nullptr; });
#elif defined(WRONG_CALL)
    objc::Ptr<Sample> sample;
    sample->valueForKey(42);
#elif defined(OWNED_AS_PLAIN)
    NS::Object* leaked = objc::adopt(NS::RootObject::alloc()->init());
    (void)leaked;
#elif defined(VIEW_BY_VALUE)
    objc::Ptr<NS::String> text;
    NS::String copy = *text.get();
#endif
}
