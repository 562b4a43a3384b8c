#include "Kinds.hpp"

#include "Device.hpp"

#include <plist/plist.h>

#include <array>
#include <cstdlib>
#include <memory>

namespace device {
namespace {

constexpr std::array kModels = {
    Model{"iPhone6,1", "iPhone", Idiom::Phone, true, 320, 568, 2},
    Model{"iPad4,1", "iPad", Idiom::Pad, true, 768, 1024, 2},
    Model{"iPhone1,1", "iPhone", Idiom::Phone, false, 320, 480, 1},
};

constexpr std::array kSystemVersions = {
    SystemVersion{"7.0", "11A465", 847.20},    SystemVersion{"7.1", "11D167", 847.24},
    SystemVersion{"8.0", "12A365", 1140.10},   SystemVersion{"8.1", "12B411", 1141.14},
    SystemVersion{"8.1.2", "12B440", 1141.18}, SystemVersion{"8.2", "12D508", 1142.16},
    SystemVersion{"8.3", "12F70", 1144.17},    SystemVersion{"8.4", "12H143", 1145.15},
    SystemVersion{"9.0", "13A344", 1240.10},   SystemVersion{"9.3", "13E233", 1242.13},
    SystemVersion{"10.0", "14A346", 1348.00},  SystemVersion{"11.0", "15A372", 1443.00},
    SystemVersion{"12.0", "16A366", 1556.00},  SystemVersion{"13.0", "17A577", 1665.15},
    SystemVersion{"14.0", "18A373", 1751.108},
};

template <typename Entry, typename Key>
const Entry& find(std::span<const Entry> entries, std::string_view name, Key key, const char* what) {
    std::string known;
    for (const Entry& e : entries) {
        if (key(e) == name) {
            return e;
        }
        known += (known.empty() ? "" : ", ") + std::string(key(e));
    }
    throw Error("unknown " + std::string(what) + " \"" + std::string(name) + "\"; known " + what +
                "s: " + known);
}

struct PlistFree {
    void operator()(plist_t p) const { plist_free(p); }
};
using Plist = std::unique_ptr<void, PlistFree>;

std::string xml(const Plist& root) {
    char* text = nullptr;
    uint32_t length = 0;
    plist_to_xml(root.get(), &text, &length);
    if (text == nullptr) {
        throw Error("cannot write a property list");
    }
    std::string result(text, length);
    std::free(text);
    return result;
}

void set(const Plist& dict, const char* key, std::string_view text) {
    plist_dict_set_item(dict.get(), key, plist_new_string(std::string(text).c_str()));
}
void set(const Plist& dict, const char* key, double number) {
    plist_dict_set_item(dict.get(), key, plist_new_real(number));
}

} // namespace

std::span<const Model> models() { return kModels; }
std::span<const SystemVersion> systemVersions() { return kSystemVersions; }

const Model& model(std::string_view identifier) {
    return find(
        models(), identifier, [](const Model& m) { return m.identifier; }, "model");
}

const SystemVersion& systemVersion(std::string_view version) {
    return find(
        systemVersions(), version, [](const SystemVersion& v) { return v.version; }, "version");
}

std::string systemVersionPlist(const SystemVersion& system) {
    const Plist dict(plist_new_dict());
    set(dict, "ProductName", "iPhone OS");
    set(dict, "ProductVersion", system.version);
    set(dict, "ProductBuildVersion", system.build);
    return xml(dict);
}

std::string deviceFactsPlist(const Kind& kind) {
    const Plist dict(plist_new_dict());
    set(dict, "ProductType", kind.model->identifier);
    set(dict, "DeviceClass", kind.model->deviceClass);
    set(dict, "ScreenWidth", kind.model->screenWidth);
    set(dict, "ScreenHeight", kind.model->screenHeight);
    set(dict, "ScreenScale", kind.model->scale);
    // Absent where the system has no idiom to answer with.
    if (kind.model->answersIdiom) {
        plist_dict_set_item(dict.get(), "UserInterfaceIdiom",
                            plist_new_uint(static_cast<uint64_t>(kind.model->idiom)));
    }
    set(dict, "CoreFoundationVersionNumber", kind.system->coreFoundation);
    return xml(dict);
}

std::string accountsPlist(const Kind& kind) {
    plist_t accounts = plist_new_array();
    auto add = [&](const char* type, const char* user) {
        plist_t account = plist_new_dict();
        plist_dict_set_item(account, "AccountType", plist_new_string(type));
        plist_dict_set_item(account, "Username", plist_new_string(user));
        plist_array_append_item(accounts, account);
    };
    if (kind.mailAccount) {
        add("com.apple.account.IMAP", "mobile@example.com");
    }
    if (kind.twitterAccount) {
        add("com.apple.twitter", "glintmere");
    }
    const Plist dict(plist_new_dict());
    plist_dict_set_item(dict.get(), "Accounts", accounts);
    return xml(dict);
}

} // namespace device
