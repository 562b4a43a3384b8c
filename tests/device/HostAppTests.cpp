// The host apps as real processes in this test's device: hook libraries they load, their scripts.
#include "../support/Subprocess.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;
using testing_support::runProcess;

const std::string kSafari = "/Applications/MobileSafari.app/MobileSafari";
const std::string kSettings = "/Applications/Preferences.app/Preferences";

// The probe hook library under a name of our choosing, with a filter that names bundles.
class HookLibraries : public ::testing::Test {
  protected:
    const fs::path folder_ = "/Library/MobileSubstrate/DynamicLibraries";
    const fs::path log_ = "/tmp/hook-library-loads.log";

    void place(const std::string& name, const std::string& key, std::initializer_list<std::string> values) {
        fs::copy_file("/Developer/Library/SubstrateProbe.dylib", folder_ / (name + ".dylib"),
                      fs::copy_options::overwrite_existing);
        std::string plist = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
                            "<key>Filter</key><dict><key>" +
                            key + "</key><array>";
        for (const std::string& v : values) {
            plist += "<string>" + v + "</string>";
        }
        std::ofstream(folder_ / (name + ".plist")) << plist << "</array></dict></dict></plist>\n";
        placed_.push_back(name);
    }
    void TearDown() override {
        for (const std::string& name : placed_) {
            fs::remove(folder_ / (name + ".dylib"));
            fs::remove(folder_ / (name + ".plist"));
        }
        fs::remove(log_);
    }
    std::vector<std::string> loads() {
        std::ifstream in(log_);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) {
            lines.push_back(line);
        }
        std::sort(lines.begin(), lines.end());
        return lines;
    }

    std::vector<std::string> placed_;
};

TEST_F(HookLibraries, EachHostAppLoadsTheLibrariesWhoseFilterNamesIt) {
    place("BrowserOnly", "Bundles", {"com.apple.mobilesafari"});
    place("SettingsOnly", "Bundles", {"com.apple.Preferences"});
    place("Neither", "Bundles", {"com.apple.springboard"});
    place("BothByName", "Executables", {"MobileSafari", "Preferences"});
    const testing_support::EnvChanges env = {{"GLINTMERE_PROBE_LOG", log_.string()}};

    for (const std::string& app : {kSafari, kSettings}) {
        auto started = runProcess({app, "echo", "up"}, "", env);
        EXPECT_EQ(started.status, 0) << started.err;
        EXPECT_EQ(started.out, "up\n");
    }
    EXPECT_EQ(loads(), (std::vector<std::string>{"BothByName MobileSafari", "BothByName Preferences",
                                                 "BrowserOnly MobileSafari", "SettingsOnly Preferences"}));
}

TEST(HostApps, ScriptsRunInOneProcessAndDispatchAfterIsNeverEarlyAndInOrder) {
    auto run = runProcess({kSettings, "script"}, "# due times out of order\n"
                                                 "after 0.3 third\n"
                                                 "after 0.1 first\n"
                                                 "after 0.2 second\n"
                                                 "after 0.2 second-again\n"
                                                 "after 0 at-once\n"
                                                 "echo scheduled\n"
                                                 "wait 0.5\n"
                                                 "echo done\n");
    ASSERT_EQ(run.status, 0) << run.err;
    std::istringstream lines(run.out);
    std::vector<std::pair<std::string, double>> fired;
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(line, "scheduled");
    while (std::getline(lines, line) && line != "done") {
        std::istringstream in(line);
        std::string text, after, seconds;
        in >> text >> after >> seconds;
        fired.emplace_back(text, std::stod(seconds));
    }
    EXPECT_EQ(line, "done");
    ASSERT_EQ(fired.size(), 5u) << run.out;
    const std::vector<std::pair<std::string, double>> due = {
        {"at-once", 0.0}, {"first", 0.1}, {"second", 0.2}, {"second-again", 0.2}, {"third", 0.3}};
    for (std::size_t i = 0; i < due.size(); ++i) {
        EXPECT_EQ(fired[i].first, due[i].first) << run.out;
        EXPECT_GE(fired[i].second, due[i].second) << fired[i].first << " ran early";
    }
}

} // namespace
