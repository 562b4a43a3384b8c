// The accounts the device's user has set up (mail, Twitter), as the device's accounts file lists them.
#pragma once

#include "objc/Runtime.hpp"

#include <string>
#include <vector>

namespace CF {

struct DeviceAccount {
    std::string type;     // "com.apple.account.IMAP", "com.apple.twitter", ...
    std::string username; // the address of a mail account, the handle of a Twitter one
};

// Where the device keeps its accounts.
inline constexpr const char* kDeviceAccountsPath = "/var/mobile/Library/Accounts/Accounts.plist";

// The accounts in the property list at `path`, read afresh on every call, since the user may add or
// remove one at any time. A missing, unreadable or malformed file lists none; so does an entry
// without a type and a user name.
GLINTMERE_EXPORT std::vector<DeviceAccount> readDeviceAccounts(const char* path = kDeviceAccountsPath);

// The first account of a type that starts with `typePrefix`; nothing when there is none.
GLINTMERE_EXPORT bool findDeviceAccount(const char* typePrefix, DeviceAccount* found = nullptr,
                                        const char* path = kDeviceAccountsPath);

} // namespace CF
