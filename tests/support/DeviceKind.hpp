// Changes to what a test's device is (its accounts, its system version), undone when the test ends.
#pragma once

#include "Plists.hpp"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace testing_support {

inline constexpr const char* kAccountsPlist = "/var/mobile/Library/Accounts/Accounts.plist";
inline constexpr const char* kSystemVersionPlist = "/System/Library/CoreServices/SystemVersion.plist";

// Keeps the device's accounts and system version files as they were, and puts them back on leaving.
class DeviceKindKept {
  public:
    DeviceKindKept() {
        for (const char* path : {kAccountsPlist, kSystemVersionPlist}) {
            std::ifstream in(path, std::ios::binary);
            std::optional<std::string> bytes;
            if (in) {
                std::ostringstream read;
                read << in.rdbuf();
                bytes = read.str();
            }
            kept_.emplace_back(path, bytes);
        }
    }
    DeviceKindKept(const DeviceKindKept&) = delete;
    DeviceKindKept& operator=(const DeviceKindKept&) = delete;
    ~DeviceKindKept() {
        for (const auto& [path, bytes] : kept_) {
            std::filesystem::remove(path);
            if (bytes) {
                writeFile(path, *bytes);
            }
        }
    }

  private:
    std::vector<std::pair<std::string, std::optional<std::string>>> kept_;
};

// Replaces the device's accounts by these (account type, user name) pairs.
inline bool writeAccounts(const std::vector<std::pair<std::string, std::string>>& accounts) {
    plist_t list = plist_new_array();
    for (const auto& [type, user] : accounts) {
        plist_t account = plist_new_dict();
        plist_dict_set_item(account, "AccountType", plist_new_string(type.c_str()));
        plist_dict_set_item(account, "Username", plist_new_string(user.c_str()));
        plist_array_append_item(list, account);
    }
    return writePlist(kAccountsPlist, dictionaryWith("Accounts", list));
}

// Makes the device's system the given version and build.
inline bool writeSystemVersion(const std::string& version, const std::string& build) {
    plist_t dict = plist_new_dict();
    plist_dict_set_item(dict, "ProductName", plist_new_string("iPhone OS"));
    plist_dict_set_item(dict, "ProductVersion", plist_new_string(version.c_str()));
    plist_dict_set_item(dict, "ProductBuildVersion", plist_new_string(build.c_str()));
    return writePlist(kSystemVersionPlist, dict);
}

// What the device's system says it is: "iOS VERSION (BUILD)", as the support mail names it.
inline std::string systemVersionLine() {
    std::ifstream in(kSystemVersionPlist, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    plist_t root = nullptr;
    plist_from_memory(bytes.data(), static_cast<uint32_t>(bytes.size()), &root);
    const auto field = [root](const char* key) {
        plist_t item = root != nullptr ? plist_dict_get_item(root, key) : nullptr;
        char* text = nullptr;
        if (item != nullptr && plist_get_node_type(item) == PLIST_STRING) {
            plist_get_string_val(item, &text);
        }
        std::string value = text != nullptr ? text : "";
        std::free(text);
        return value;
    };
    const std::string line = "iOS " + field("ProductVersion") + " (" + field("ProductBuildVersion") + ")";
    plist_free(root);
    return line;
}

// The major number of the device's system version.
inline int systemMajorVersion() { return std::atoi(systemVersionLine().c_str() + 4); }

} // namespace testing_support
