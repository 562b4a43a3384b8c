// Darwin notifications between real processes of this test's device.
#include "../support/Subprocess.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <sstream>

namespace {

using namespace std::chrono_literals;
using testing_support::Child;
using testing_support::runProcess;

const std::string kProbe = "/Developer/usr/bin/notify-probe";

// A line "NAME NANOSECONDS" of an observer.
struct Delivery {
    std::string name;
    std::uint64_t at = 0;
};

std::optional<Delivery> parseDelivery(const std::string& line) {
    std::istringstream in(line);
    Delivery d;
    if (in >> d.name >> d.at) {
        return d;
    }
    return std::nullopt;
}

// "posted TIMES FIRST LAST" of a poster.
struct Posted {
    long times = 0;
    std::uint64_t first = 0, last = 0;
};

Posted post(const std::string& name, long times = 1) {
    auto outcome = runProcess({kProbe, "post", name, std::to_string(times)});
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    std::istringstream in(outcome.out);
    std::string word;
    Posted p;
    in >> word >> p.times >> p.first >> p.last;
    EXPECT_EQ(word, "posted") << outcome.out;
    return p;
}

// An observer process, started and ready to receive.
std::unique_ptr<Child> observer(const std::vector<std::string>& names) {
    std::vector<std::string> argv = {kProbe, "observe"};
    argv.insert(argv.end(), names.begin(), names.end());
    auto child = std::make_unique<Child>(argv);
    const auto ready = child->readLine(10s);
    EXPECT_EQ(ready.value_or("<nothing>"), "ready") << child->err();
    return child;
}

long askCount(Child& child) {
    child.write("count\n");
    for (auto line = child.readLine(10s); line; line = child.readLine(10s)) {
        if (line->starts_with("count ")) {
            return std::stol(line->substr(6));
        }
    }
    ADD_FAILURE() << "no count from observer: " << child.err();
    return -1;
}

TEST(Notifications, APostReachesEveryObservingProcessWithinMilliseconds) {
    auto first = observer({"com.glintmere.test.ping", "com.glintmere.test.other"});
    auto second = observer({"com.glintmere.test.ping"});
    auto bystander = observer({"com.glintmere.test.unrelated"});

    const Posted posted = post("com.glintmere.test.ping");
    for (Child* child : {first.get(), second.get()}) {
        const auto line = child->readLine(5s);
        ASSERT_TRUE(line) << "no delivery; stderr: " << child->err();
        const auto d = parseDelivery(*line);
        ASSERT_TRUE(d) << *line;
        EXPECT_EQ(d->name, "com.glintmere.test.ping");
        EXPECT_GE(d->at, posted.first);
        // Generous for sanitized builds on a busy machine; typically well under a millisecond.
        EXPECT_LT(d->at - posted.first, 250'000'000ull)
            << "latency " << (d->at - posted.first) / 1000 << " us";
        RecordProperty(child == first.get() ? "latency_us_first" : "latency_us_second",
                       std::to_string((d->at - posted.first) / 1000));
    }
    EXPECT_EQ(askCount(*bystander), 0);
    EXPECT_EQ(askCount(*first), 1);

    // The other name reaches only the process that observes it.
    post("com.glintmere.test.other");
    const auto other = parseDelivery(first->readLine(5s).value_or(""));
    ASSERT_TRUE(other);
    EXPECT_EQ(other->name, "com.glintmere.test.other");
    EXPECT_EQ(askCount(*second), 1);
    EXPECT_EQ(askCount(*bystander), 0);
}

TEST(Notifications, ABurstFromSeveralProcessesIsCoalescedAndTheLastPostIsNeverLost) {
    const std::string name = "com.glintmere.test.burst";
    auto lagging = observer({name});
    auto keeping = observer({name});

    lagging->write("hold\n");
    ASSERT_EQ(lagging->readLine(10s).value_or(""), "holding");

    // Two posters at once, thousands of posts in all.
    Child posterA({kProbe, "post", name, "2500"});
    Child posterB({kProbe, "post", name, "2500"});
    ASSERT_EQ(posterA.wait(), 0) << posterA.err();
    ASSERT_EQ(posterB.wait(), 0) << posterB.err();
    std::uint64_t lastPost = 0;
    for (Child* poster : {&posterA, &posterB}) {
        std::istringstream in(poster->out());
        std::string word;
        long times = 0;
        std::uint64_t first = 0, last = 0;
        in >> word >> times >> first >> last;
        ASSERT_EQ(times, 2500) << poster->out();
        lastPost = std::max(lastPost, last);
    }

    // The observer that kept up may see many deliveries, but never more than the posts, and
    // one of them comes after the last post.
    long kept = 0;
    std::uint64_t latest = 0;
    while (latest < lastPost) {
        const auto line = keeping->readLine(10s);
        ASSERT_TRUE(line) << "the last post was not delivered; stderr: " << keeping->err();
        const auto d = parseDelivery(*line);
        ASSERT_TRUE(d) << *line;
        latest = d->at;
        ++kept;
    }
    EXPECT_LE(kept, 5000);

    // The lagging one gets what piled up as a handful of deliveries, not thousands.
    lagging->write("release\n");
    ASSERT_EQ(lagging->readLine(10s).value_or(""), "released");
    const auto firstAfter = lagging->readLine(10s);
    ASSERT_TRUE(firstAfter) << lagging->err();
    ASSERT_TRUE(parseDelivery(*firstAfter)) << *firstAfter;
    const long coalesced = askCount(*lagging);
    EXPECT_GE(coalesced, 1);
    EXPECT_LE(coalesced, 20) << "a lagging observer should see the burst coalesced";
    RecordProperty("coalesced_deliveries", std::to_string(coalesced));

    // Coalescing swallows nothing that comes later.
    post(name);
    const auto again = lagging->readLine(10s);
    ASSERT_TRUE(again);
    EXPECT_TRUE(parseDelivery(*again)) << *again;
}

} // namespace
