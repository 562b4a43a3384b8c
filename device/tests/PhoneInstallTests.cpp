// `make install PHONE=...` against a phone that is an arm64 simulated device behind a real SSH
// server on 127.0.0.1: the server's sessions run inside the device as its root, as a phone's do.
#include "../../tests/support/DpkgStatus.hpp"
#include "../../tests/support/Pictures.hpp"
#include "../../tests/support/Subprocess.hpp"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <thread>

namespace {

namespace fs = std::filesystem;
using testing_support::runProcess;

using testing_support::readAll;

const std::string kTool = GLINTMERE_DEVICE_TOOL;
const fs::path kSource = GLINTMERE_SOURCE_DIR;
constexpr const char* kPackage = "com.brightmoth.glintmere";
constexpr const char* kSshd = "/usr/sbin/sshd";

void spill(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

// A port on 127.0.0.1 that nothing listens on at the moment of asking.
int freePort() {
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
    getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
    close(s);
    return ntohs(address.sin_port);
}

bool accepts(int port) {
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool connected = connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(s);
    return connected;
}

std::string userName() {
    const passwd* me = getpwuid(getuid());
    return me != nullptr ? me->pw_name : "root";
}

// Two phones behind one SSH server, each reached with a key of its own: an arm64 device (a phone
// of Glintmere's kind) and a native one (a phone whose packages are of another architecture). A
// third key is known to no phone.
class PhoneOverSsh : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(fs::exists(kSshd)) << "no SSH server: scripts/install-deps installs openssh-server";
        std::string pattern = (fs::temp_directory_path() / "phone-install-test-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        scratch_ = pattern;
        phone_ = scratch_ / "phone";
        other_ = scratch_ / "other";
        ASSERT_EQ(runProcess({kTool, "create", phone_, "--arch", "arm64"}).status, 0);
        ASSERT_EQ(runProcess({kTool, "create", other_}).status, 0);
        // The device's system files, without Glintmere: that is what the install brings.
        for (const fs::path& root : {phone_, other_}) {
            ASSERT_EQ(runProcess({kTool, "install", root}).status, 0);
            ASSERT_EQ(runProcess({kTool, "remove", root, kPackage}).status, 0);
        }
        for (const char* key : {"host", "phone", "other", "stranger"}) {
            auto made = runProcess({"ssh-keygen", "-q", "-t", "ed25519", "-N", "", "-f",
                                    (scratch_ / (std::string(key) + ".key")).string()});
            ASSERT_EQ(made.status, 0) << made.out << made.err;
        }
        const auto entry = [](const fs::path& root, const fs::path& key) {
            return "command=\"" + kTool + " run " + root.string() +
                   " --as-root -- sh -c \\\"$SSH_ORIGINAL_COMMAND\\\"\",no-pty,no-port-forwarding " +
                   readAll(key.string() + ".pub");
        };
        spill(scratch_ / "authorized_keys",
              entry(phone_, scratch_ / "phone.key") + entry(other_, scratch_ / "other.key"));
        port_ = freePort();
        // No file-transfer subsystem, as on phones whose server has none: the package comes over
        // the session itself.
        spill(scratch_ / "sshd_config",
              "Port " + std::to_string(port_) +
                  "\nListenAddress 127.0.0.1\n"
                  "HostKey " +
                  (scratch_ / "host.key").string() +
                  "\n"
                  "AuthorizedKeysFile " +
                  (scratch_ / "authorized_keys").string() +
                  "\n"
                  "PidFile " +
                  (scratch_ / "sshd.pid").string() +
                  "\n"
                  "StrictModes no\nUsePAM no\nPasswordAuthentication no\n"
                  "KbdInteractiveAuthentication no\nPermitRootLogin prohibit-password\n"
                  "LogLevel ERROR\n");
        if (getuid() == 0) {
            fs::create_directories("/run/sshd"); // the server's own empty folder, which it insists on
        }
        server_.emplace(
            std::vector<std::string>{kSshd, "-D", "-e", "-f", (scratch_ / "sshd_config").string()});
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!accepts(port_) && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        ASSERT_TRUE(accepts(port_)) << "the SSH server did not start: " << server_->err();
        ASSERT_TRUE(testing_support::writePng(testing_support::makePicture(6, 4),
                                              (phone_ / "tmp/image.png").string()));
    }
    void TearDown() override {
        if (server_) {
            kill(server_->pid(), SIGTERM);
            server_->wait();
        }
        fs::remove_all(scratch_);
    }

    testing_support::Outcome install(const std::string& key, int port, const std::string& phone = "") {
        std::vector<std::string> command = {"make", "--no-print-directory", "-C", kSource.string(),
                                            "install"};
        if (!phone.empty() || !key.empty()) {
            command.push_back("PHONE=" + (phone.empty() ? userName() + "@127.0.0.1" : phone));
            command.push_back("PHONE_PORT=" + std::to_string(port));
            command.push_back("PHONE_SSH=-i " + (scratch_ / (key + ".key")).string() +
                              " -o UserKnownHostsFile=" + (scratch_ / "known_hosts").string() +
                              " -o StrictHostKeyChecking=accept-new");
        }
        return runProcess(command);
    }

    std::string installed(const fs::path& root) {
        return runProcess({kTool, "run", root, "--", "dpkg-query", "--show",
                           "--showformat=${db:Status-Abbrev}${Architecture}", kPackage})
            .out;
    }

    fs::path scratch_, phone_, other_;
    int port_ = 0;
    std::optional<testing_support::Child> server_;
};

TEST_F(PhoneOverSsh, InstallsThePhonesPackageAndTheBrowserThereOffersSetAsWallpaper) {
    const auto run = install("phone", port_);
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(installed(phone_), "ii iphoneos-arm");
    auto sheet = runProcess({kTool, "run", phone_, "--", "/Applications/MobileSafari.app/MobileSafari",
                             "long-press", "/tmp/image.png"});
    EXPECT_NE(sheet.out.find("Set As Wallpaper"), std::string::npos) << sheet.out << sheet.err;
    // The copy that travelled is gone again.
    for (const auto& entry : fs::directory_iterator(phone_ / "tmp")) {
        EXPECT_EQ(entry.path().extension(), ".png") << entry.path();
    }
}

TEST_F(PhoneOverSsh, EachWayOfFailingGivesOneMessage) {
    struct Case {
        const char* what;
        std::function<testing_support::Outcome()> attempt;
        const char* message;
    };
    const Case cases[] = {
        {"no phone named", [&] { return install("", 0); }, "set PHONE to the phone to install onto"},
        {"nothing listening", [&] { return install("phone", freePort()); },
         "cannot reach the phone at 127.0.0.1:"},
        {"a key the phone does not know", [&] { return install("stranger", port_); }, "refused the login as"},
        {"a phone of another architecture", [&] { return install("other", port_); },
         "takes " GLINTMERE_ARCHITECTURE " packages, and Glintmere's is for iphoneos-arm"},
    };
    for (const Case& c : cases) {
        const auto started = std::chrono::steady_clock::now();
        const auto run = c.attempt();
        EXPECT_NE(run.status, 0) << c.what;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << c.what << ": " << run.err;
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(60)) << c.what;
    }
    EXPECT_FALSE(installed(other_).starts_with("ii")) << installed(other_);

    // A phone whose Settings loader is older than Glintmere needs: its dpkg refuses, and says so.
    ASSERT_TRUE(testing_support::setInstalledVersion(phone_, "preferenceloader", "2.0"));
    const auto refused = install("phone", port_);
    EXPECT_NE(refused.status, 0);
    EXPECT_NE(refused.err.find("the phone's dpkg did not install the package"), std::string::npos)
        << refused.err;
    EXPECT_FALSE(installed(phone_).starts_with("ii")) << installed(phone_);
}

} // namespace
