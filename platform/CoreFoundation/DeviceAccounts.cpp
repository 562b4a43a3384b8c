#include "CoreFoundation/DeviceAccounts.hpp"

#include <plist/plist.h>

#include <fcntl.h>
#include <unistd.h>

#include <memory>

namespace CF {
namespace {

// An accounts file lists a handful of accounts; anything far larger is not one and is not read whole.
constexpr std::size_t kLimit = 256 * 1024;

struct PlistFree {
    void operator()(plist_t p) const { plist_free(p); }
};

std::string stringItem(plist_t dict, const char* key) {
    plist_t item = plist_dict_get_item(dict, key);
    if (item == nullptr || plist_get_node_type(item) != PLIST_STRING) {
        return {};
    }
    uint64_t length = 0;
    const char* text = plist_get_string_ptr(item, &length);
    return text != nullptr ? std::string(text, length) : std::string();
}

// The file's bytes, or nothing when it cannot be read or is too large to be an accounts file.
std::string readLimited(const char* path) {
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return {};
    }
    std::string bytes;
    char buffer[16384];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0 || bytes.size() + static_cast<std::size_t>(n) > kLimit) {
            if (n > 0) {
                bytes.clear();
            }
            break;
        }
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
    close(fd);
    return bytes;
}

} // namespace

std::vector<DeviceAccount> readDeviceAccounts(const char* path) {
    std::vector<DeviceAccount> accounts;
    const std::string bytes = readLimited(path);
    if (bytes.empty()) {
        return accounts;
    }
    plist_t parsed = nullptr;
    plist_from_memory(bytes.data(), static_cast<uint32_t>(bytes.size()), &parsed);
    const std::unique_ptr<void, PlistFree> root(parsed);
    if (parsed == nullptr || plist_get_node_type(parsed) != PLIST_DICT) {
        return accounts;
    }
    plist_t list = plist_dict_get_item(parsed, "Accounts");
    if (list == nullptr || plist_get_node_type(list) != PLIST_ARRAY) {
        return accounts;
    }
    for (uint32_t i = 0, n = plist_array_get_size(list); i < n; ++i) {
        plist_t entry = plist_array_get_item(list, i);
        if (entry == nullptr || plist_get_node_type(entry) != PLIST_DICT) {
            continue;
        }
        DeviceAccount account{stringItem(entry, "AccountType"), stringItem(entry, "Username")};
        if (!account.type.empty() && !account.username.empty()) {
            accounts.push_back(std::move(account));
        }
    }
    return accounts;
}

bool findDeviceAccount(const char* typePrefix, DeviceAccount* found, const char* path) {
    for (DeviceAccount& account : readDeviceAccounts(path)) {
        if (account.type.starts_with(typePrefix)) {
            if (found != nullptr) {
                *found = std::move(account);
            }
            return true;
        }
    }
    return false;
}

} // namespace CF
