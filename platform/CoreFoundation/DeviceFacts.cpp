#include "CoreFoundation/DeviceFacts.hpp"

#include "Foundation/AtomicFile.hpp"

#include <plist/plist.h>

#include <cmath>
#include <memory>
#include <optional>

namespace CF {
namespace {

// A facts file is a few hundred bytes; anything far larger is not one and is not read whole.
constexpr std::size_t kLimit = 64 * 1024;

struct PlistFree {
    void operator()(plist_t p) const { plist_free(p); }
};

void readString(plist_t dict, const char* key, std::string& out) {
    plist_t item = plist_dict_get_item(dict, key);
    if (item != nullptr && plist_get_node_type(item) == PLIST_STRING) {
        uint64_t length = 0;
        const char* text = plist_get_string_ptr(item, &length);
        if (text != nullptr && length > 0) {
            out.assign(text, length);
        }
    }
}

// Sizes, scales and version numbers: finite and positive, or the default stays.
void readNumber(plist_t dict, const char* key, double& out) {
    plist_t item = plist_dict_get_item(dict, key);
    double value = 0;
    if (item != nullptr && plist_get_node_type(item) == PLIST_REAL) {
        plist_get_real_val(item, &value);
    } else if (item != nullptr && plist_get_node_type(item) == PLIST_UINT) {
        uint64_t whole = 0;
        plist_get_uint_val(item, &whole);
        value = static_cast<double>(whole);
    }
    if (std::isfinite(value) && value > 0 && value < 1e6) {
        out = value;
    }
}

} // namespace

DeviceFacts readDeviceFacts(const char* path) {
    DeviceFacts facts;
    const std::optional<std::string> bytes = NS::detail::readFile(path, kLimit);
    if (!bytes || bytes->empty()) {
        return facts;
    }
    plist_t parsed = nullptr;
    plist_from_memory(bytes->data(), static_cast<uint32_t>(bytes->size()), &parsed);
    const std::unique_ptr<void, PlistFree> root(parsed);
    if (parsed == nullptr || plist_get_node_type(parsed) != PLIST_DICT) {
        return facts;
    }
    readString(parsed, "ProductType", facts.productType);
    readString(parsed, "DeviceClass", facts.deviceClass);
    readNumber(parsed, "ScreenWidth", facts.screenWidth);
    readNumber(parsed, "ScreenHeight", facts.screenHeight);
    readNumber(parsed, "ScreenScale", facts.scale);
    readNumber(parsed, "CoreFoundationVersionNumber", facts.coreFoundationVersion);
    // The idiom is answered only where the file gives one; the first phone's system has none.
    plist_t idiom = plist_dict_get_item(parsed, "UserInterfaceIdiom");
    facts.answersIdiom = idiom != nullptr && plist_get_node_type(idiom) == PLIST_UINT;
    if (facts.answersIdiom) {
        uint64_t value = 0;
        plist_get_uint_val(idiom, &value);
        facts.idiom = value == 1 ? 1 : 0;
    }
    return facts;
}

const DeviceFacts& deviceFacts() {
    static const DeviceFacts facts = readDeviceFacts(kDeviceFactsPath);
    return facts;
}

} // namespace CF
