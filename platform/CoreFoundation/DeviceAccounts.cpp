#include "CoreFoundation/DeviceAccounts.hpp"

#include "Foundation/AtomicFile.hpp"

#include <plist/plist.h>

#include <memory>
#include <optional>

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

} // namespace

std::vector<DeviceAccount> readDeviceAccounts(const char* path) {
    std::vector<DeviceAccount> accounts;
    const std::optional<std::string> bytes = NS::detail::readFile(path, kLimit);
    if (!bytes || bytes->empty()) {
        return accounts;
    }
    plist_t parsed = nullptr;
    plist_from_memory(bytes->data(), static_cast<uint32_t>(bytes->size()), &parsed);
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
