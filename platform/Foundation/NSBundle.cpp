#include "Foundation/NSBundle.hpp"
#include "Foundation/LibraryLoader.hpp"
#include "Foundation/NSBundleInternals.hpp"

#include "Foundation/Text.hpp"

#include "Foundation/AtomicFile.hpp"
#include "Foundation/FileWatch.hpp"
#include "Foundation/NSArray.hpp"
#include "Foundation/NSDictionary.hpp"
#include "Foundation/NSString.hpp"
#include "Foundation/NSURL.hpp"
#include "Foundation/PropertyList.hpp"
#include "Foundation/RegularFile.hpp"
#include "Foundation/Storage.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

using NS::detail::appendUtf8;
using NS::detail::tidyPath;

namespace NS {
namespace {

using literals::operator""_ns;

// Where the device keeps the user's language choice (AppleLanguages, most preferred first).
constexpr const char* globalPreferencesPath = "/var/mobile/Library/Preferences/.GlobalPreferences.plist";
constexpr std::size_t tableFileLimit = std::size_t{16} << 20;

using Table = std::map<std::string, std::string, std::less<>>;

// A string table as it was read, and which file it was read from: a table is parsed once and kept
// for as long as that file stays in place unchanged. Nothing when the file is not a table.
struct KeptTable {
    std::uint64_t checked = 0; // the watch's count when the file was last looked at; 0 for never
    bool present = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};
    timespec changed{};
    std::optional<Table> table;
    unsigned long lastUse = 0;
};

// A bundle has a handful of tables; one asked for ever more of them keeps the latest used.
constexpr std::size_t keptTableLimit = 64;

// Where a resource was found (empty for nowhere), as of the watch's count `checked`.
struct FoundResource {
    std::uint64_t checked = 0;
    std::string path;
};

struct State {
    std::string path;
    std::mutex lock;
    Dictionary* info = nullptr; // read once, as the device does; owned
    bool loaded = false;
    std::map<std::string, KeptTable> tables; // by file
    unsigned long tableUses = 0;
    std::map<std::string, FoundResource> resources; // by file name
};

State*& stateOf(const Bundle* self) { return objc::storage<State*>(self, BundleInternals::_state); }

State& state(const Bundle* self) {
    static State none;
    State* s = stateOf(self);
    return s != nullptr ? *s : none;
}

std::mutex& registryLock() {
    static std::mutex lock;
    return lock;
}
// Each bundle made, by path; `checked` is the watch's count when its folder was last seen.
struct Registered {
    Bundle* bundle = nullptr;
    std::uint64_t checked = 0;
};
std::map<std::string, Registered>& registry() {
    static auto* bundles = new std::map<std::string, Registered>();
    return *bundles;
}

bool exists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}
bool isDirectory(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::optional<std::string> text(objc::Ptr<String> string) {
    const char* utf8 = string->utf8String();
    if (utf8 == nullptr) {
        return std::nullopt;
    }
    return std::string(utf8);
}

objc::Ptr<String> makeString(const std::string& s) { return String::string(std::string_view(s)); }

// The bundle for an existing directory, made on first request; nil when there is no directory.
objc::Ptr<Bundle> bundleFor(Class cls, objc::Ptr<String> pathString) {
    const std::string_view raw = pathString != nullptr ? pathString->view() : std::string_view();
    if (raw.empty()) {
        return nullptr;
    }
    std::string path = tidyPath(raw);
    {
        std::lock_guard guard(registryLock());
        auto found = registry().find(path);
        if (found != registry().end() &&
            detail::FileWatch::holds(found->second.checked, detail::FileWatch::count())) {
            return found->second.bundle;
        }
    }
    const std::uint64_t checked = detail::FileWatch::watch(path);
    if (!isDirectory(path)) {
        return nullptr;
    }
    std::lock_guard guard(registryLock());
    auto found = registry().find(path);
    if (found != registry().end()) {
        found->second.checked = checked;
        return found->second.bundle;
    }
    Bundle* bundle = Bundle::alloc_.send(cls);
    stateOf(bundle) = new State();
    stateOf(bundle)->path = path;
    registry().emplace(path, Registered{bundle, checked});
    return bundle;
}

// The directory that holds the running executable; empty when it cannot be told.
const std::string& executableDirectory() {
    static const std::string directory = [] {
        char buffer[4096];
        ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
        if (n <= 0) {
            return std::string();
        }
        std::string exe(buffer, static_cast<std::size_t>(n));
        std::size_t slash = exe.rfind('/');
        return slash == std::string::npos ? std::string() : (slash == 0 ? "/" : exe.substr(0, slash));
    }();
    return directory;
}

using Languages = std::shared_ptr<const std::vector<std::string>>;

// The .lproj folders to look in, best first: the user's language (and its base language, "en" for
// "en-GB"), then "en", then "Base".
std::vector<std::string> readLanguages() {
    std::vector<std::string> order;
    auto add = [&](const std::string& language) {
        if (!language.empty() && language.find('/') == std::string::npos &&
            std::find(order.begin(), order.end(), language) == order.end()) {
            order.push_back(language);
        }
    };
    auto prefs = objc::adopt(reinterpret_cast<Object*>(detail::readPropertyList(globalPreferencesPath)));
    auto list = cast<Array>(cast<Dictionary>(prefs.get())->objectForKey("AppleLanguages"_ns));
    if (auto first = cast<String>(list->firstObject())) {
        std::string preferred = first->str();
        add(preferred);
        add(preferred.substr(0, preferred.find_first_of("-_")));
    }
    add("en");
    add("Base");
    return order;
}

// The languages as of the watch's count `now`, read again only when the user's choice may have changed.
Languages languages(std::uint64_t now) {
    static std::mutex lock;
    static std::uint64_t checked = 0;
    static auto* kept = new Languages();
    {
        std::lock_guard guard(lock);
        if (detail::FileWatch::holds(checked, now)) {
            return *kept;
        }
    }
    const std::uint64_t at = detail::FileWatch::watch(globalPreferencesPath);
    auto order = std::make_shared<const std::vector<std::string>>(readLanguages());
    std::lock_guard guard(lock);
    *kept = order;
    checked = at;
    return order;
}

// ----- string tables

// Text tables are often saved as UTF-16 with a byte-order mark; everything else here is UTF-8.
std::string fromUtf16(std::string_view bytes, bool bigEndian) {
    std::string out;
    auto unit = [&](std::size_t k) -> char32_t {
        auto a = static_cast<unsigned char>(bytes[k]);
        auto b = static_cast<unsigned char>(bytes[k + 1]);
        return bigEndian ? (a << 8 | b) : (b << 8 | a);
    };
    for (std::size_t k = 0; k + 1 < bytes.size(); k += 2) {
        char32_t u = unit(k);
        if (u >= 0xD800 && u < 0xDC00 && k + 3 < bytes.size()) {
            char32_t low = unit(k + 2);
            if (low >= 0xDC00 && low < 0xE000) {
                appendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
                k += 2;
                continue;
            }
        }
        appendUtf8(out, (u >= 0xD800 && u < 0xE000) ? 0xFFFD : u);
    }
    return out;
}

// The classic text form: `"key" = "value";` entries, `"key";` for a key that is its own value,
// /* */ and // comments, and backslash escapes in quoted strings.
class StringsParser {
  public:
    explicit StringsParser(std::string_view s) : s_(s) {}

    bool parse(Table& table) {
        for (;;) {
            if (!skip()) {
                return false;
            }
            if (i_ >= s_.size()) {
                return true;
            }
            std::string key;
            if (!readString(key) || !skip()) {
                return false;
            }
            if (i_ < s_.size() && s_[i_] == ';') {
                ++i_;
                table[key] = key;
                continue;
            }
            if (i_ >= s_.size() || s_[i_] != '=') {
                return false;
            }
            ++i_;
            std::string value;
            if (!skip() || !readString(value) || !skip() || i_ >= s_.size() || s_[i_] != ';') {
                return false;
            }
            ++i_;
            table[key] = value;
        }
    }

    // The line the parser stopped on, for the message about a malformed table.
    int line() const {
        int n = 1;
        for (std::size_t k = 0; k < i_ && k < s_.size(); ++k) {
            n += s_[k] == '\n';
        }
        return n;
    }

  private:
    bool skip() {
        for (;;) {
            while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\t' || s_[i_] == '\n' || s_[i_] == '\r')) {
                ++i_;
            }
            if (s_.substr(i_).starts_with("/*")) {
                std::size_t end = s_.find("*/", i_ + 2);
                if (end == std::string_view::npos) {
                    return false;
                }
                i_ = end + 2;
            } else if (s_.substr(i_).starts_with("//")) {
                std::size_t end = s_.find('\n', i_);
                i_ = end == std::string_view::npos ? s_.size() : end + 1;
            } else {
                return true;
            }
        }
    }

    static bool isPlain(char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
               c == '$' || c == '.' || c == ':' || c == '/' || c == '-';
    }

    static int hexValue(char c) {
        if (c >= '0' && c <= '9') {
            return c - '0';
        }
        if ((c | 0x20) >= 'a' && (c | 0x20) <= 'f') {
            return (c | 0x20) - 'a' + 10;
        }
        return -1;
    }

    bool readHex4(char32_t& out) {
        if (i_ + 4 > s_.size()) {
            return false;
        }
        out = 0;
        for (int k = 0; k < 4; ++k) {
            int v = hexValue(s_[i_ + static_cast<std::size_t>(k)]);
            if (v < 0) {
                return false;
            }
            out = out * 16 + static_cast<char32_t>(v);
        }
        i_ += 4;
        return true;
    }

    bool readString(std::string& out) {
        out.clear();
        if (i_ >= s_.size()) {
            return false;
        }
        if (s_[i_] != '"') {
            while (i_ < s_.size() && isPlain(s_[i_])) {
                out += s_[i_++];
            }
            return !out.empty();
        }
        ++i_;
        for (;;) {
            if (i_ >= s_.size()) {
                return false;
            }
            char c = s_[i_++];
            if (c == '"') {
                return true;
            }
            if (c != '\\') {
                out += c;
                continue;
            }
            if (i_ >= s_.size()) {
                return false;
            }
            char e = s_[i_++];
            switch (e) {
            case 'n':
                out += '\n';
                break;
            case 't':
                out += '\t';
                break;
            case 'r':
                out += '\r';
                break;
            case 'a':
                out += '\a';
                break;
            case 'b':
                out += '\b';
                break;
            case 'f':
                out += '\f';
                break;
            case 'v':
                out += '\v';
                break;
            case 'u':
            case 'U': {
                char32_t cp = 0;
                if (!readHex4(cp)) {
                    return false;
                }
                if (cp >= 0xD800 && cp < 0xDC00) {
                    // A high surrogate pairs with an escaped low one that follows; alone it is replaced.
                    std::size_t at = i_;
                    char32_t low = 0;
                    if ((s_.substr(i_).starts_with("\\u") || s_.substr(i_).starts_with("\\U")) &&
                        (i_ += 2, readHex4(low)) && low >= 0xDC00 && low < 0xE000) {
                        cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                    } else {
                        i_ = at;
                        cp = 0xFFFD;
                    }
                } else if (cp >= 0xDC00 && cp < 0xE000) {
                    cp = 0xFFFD;
                }
                appendUtf8(out, cp);
                break;
            }
            default:
                if (e >= '0' && e <= '7') {
                    int value = e - '0';
                    for (int k = 0; k < 2 && i_ < s_.size() && s_[i_] >= '0' && s_[i_] <= '7'; ++k) {
                        value = value * 8 + (s_[i_++] - '0');
                    }
                    appendUtf8(out, static_cast<char32_t>(value));
                } else {
                    out += e; // \" \\ \' and anything else stand for themselves
                }
            }
        }
    }

    std::string_view s_;
    std::size_t i_ = 0;
};

bool isValidUtf8(const std::string& s) { return String::string(std::string_view(s)) != nullptr; }

// The table in `file` (an XML or binary property list, or the text form); nothing when the file is
// missing or is not a table, which a message on stderr then explains.
std::optional<Table> loadTable(const std::string& file) {
    std::optional<std::string> bytes = detail::readFile(file.c_str(), tableFileLimit);
    if (!bytes) {
        return std::nullopt;
    }
    std::string content = std::move(*bytes);
    if (content.starts_with("\xFF\xFE") || content.starts_with("\xFE\xFF")) {
        content = fromUtf16(std::string_view(content).substr(2), content[0] == '\xFE');
    } else if (content.starts_with("\xEF\xBB\xBF")) {
        content.erase(0, 3);
    }
    std::size_t first = content.find_first_not_of(" \t\r\n");
    Table table;
    if (content.starts_with("bplist") ||
        (first != std::string::npos && content.compare(first, 2, "<?") == 0) ||
        (first != std::string::npos && content.compare(first, 6, "<plist") == 0)) {
        auto read = objc::adopt(reinterpret_cast<Object*>(detail::propertyListFromBytes(content)));
        auto root = cast<Dictionary>(read.get());
        if (root == nullptr) {
            std::fprintf(stderr, "NSBundle: string table %s is not a dictionary property list; not used\n",
                         file.c_str());
            return std::nullopt;
        }
        for (Object* key : root->allKeys()) {
            if (auto value = cast<String>(root->objectForKey(key))) {
                table[reinterpret_cast<String*>(key)->str()] = value->str();
            }
        }
        return table;
    }
    StringsParser parser(content);
    if (!parser.parse(table)) {
        std::fprintf(stderr, "NSBundle: string table %s is malformed near line %d; not used\n", file.c_str(),
                     parser.line());
        return std::nullopt;
    }
    for (const auto& [key, value] : table) {
        if (!isValidUtf8(key) || !isValidUtf8(value)) {
            std::fprintf(stderr, "NSBundle: string table %s is not UTF-8 or UTF-16 text; not used\n",
                         file.c_str());
            return std::nullopt;
        }
    }
    return table;
}

bool sameTime(const timespec& a, const timespec& b) { return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec; }

// The translation of `key` in the table in `file`: parsed on the first request, then kept. The file
// is looked at again only once the watch's count has moved on from `now`.
objc::Ptr<String> lookUp(State& s, const std::string& file, std::string_view key, std::uint64_t now) {
    std::lock_guard guard(s.lock);
    auto entry = s.tables.find(file);
    const bool known = entry != s.tables.end();
    if (!known || !detail::FileWatch::holds(entry->second.checked, now)) {
        const std::uint64_t checked = detail::FileWatch::watch(file);
        struct stat info {};
        const bool present = ::stat(file.c_str(), &info) == 0;
        if (!known && s.tables.size() >= keptTableLimit) {
            s.tables.erase(
                std::min_element(s.tables.begin(), s.tables.end(), [](const auto& a, const auto& b) {
                    return a.second.lastUse < b.second.lastUse;
                }));
        }
        if (!known || entry->second.present != present || entry->second.device != info.st_dev ||
            entry->second.inode != info.st_ino || entry->second.size != info.st_size ||
            !sameTime(entry->second.modified, info.st_mtim) ||
            !sameTime(entry->second.changed, info.st_ctim)) {
            s.tables[file] =
                KeptTable{checked,      present,      info.st_dev,  info.st_ino,
                          info.st_size, info.st_mtim, info.st_ctim, present ? loadTable(file) : std::nullopt};
        }
        entry = s.tables.find(file);
        entry->second.checked = checked;
    }
    KeptTable& kept = entry->second;
    kept.lastUse = ++s.tableUses;
    if (!kept.present || !kept.table) {
        return nullptr; // no table there (yet), or none that can be read
    }
    auto found = kept.table->find(key);
    return found != kept.table->end() ? makeString(found->second) : nullptr;
}

// The bundle's directory joined with `name` and `type`, in the bundle or one of its .lproj folders.
objc::Ptr<String> pathForResourceOfType(const Bundle* self, objc::Ptr<String> name, objc::Ptr<String> type) {
    std::optional<std::string> base = text(name);
    if (!base || base->empty()) {
        return nullptr;
    }
    std::string file = *base;
    if (std::optional<std::string> extension = text(type); extension && !extension->empty()) {
        file += "." + *extension;
    }
    State& s = state(self);
    const std::uint64_t now = detail::FileWatch::count();
    {
        std::lock_guard guard(s.lock);
        auto found = s.resources.find(file);
        if (found != s.resources.end() && detail::FileWatch::holds(found->second.checked, now)) {
            return found->second.path.empty() ? nullptr : makeString(found->second.path);
        }
    }
    // Each place is watched before it is looked in, so that nothing changed in between is missed; the
    // answer is kept only when nothing changed while the places were looked in.
    std::optional<std::uint64_t> checked;
    std::string where;
    auto look = [&](const std::string& place) {
        std::string candidate = tidyPath(place + "/" + file);
        const std::uint64_t at = detail::FileWatch::watch(candidate);
        checked = !checked || *checked == at ? at : 0;
        if (exists(candidate)) {
            where = candidate;
        }
        return !where.empty();
    };
    if (!look(s.path)) {
        for (const std::string& language : *languages(now)) {
            if (look(s.path + "/" + language + ".lproj")) {
                break;
            }
        }
    }
    std::lock_guard guard(s.lock);
    if (s.resources.size() >= keptTableLimit) {
        s.resources.clear();
    }
    s.resources[file] = FoundResource{checked.value_or(0), where};
    return where.empty() ? nullptr : makeString(where);
}

objc::Ptr<String> localizedString(const Bundle* self, objc::Ptr<String> key, objc::Ptr<String> value,
                                  objc::Ptr<String> tableName) {
    if (key == nullptr) {
        return value != nullptr ? value : makeString("");
    }
    const std::string_view wanted = key->view();
    std::string_view table = tableName != nullptr ? tableName->view() : std::string_view();
    if (table.empty()) {
        table = "Localizable";
    }
    State& s = state(self);
    const std::uint64_t now = detail::FileWatch::count();
    std::string file;
    for (const std::string& language : *languages(now)) {
        file.reserve(s.path.size() + language.size() + table.size() + 16);
        file.assign(s.path).append("/").append(language).append(".lproj/").append(table).append(".strings");
        if (auto found = lookUp(s, file, wanted, now)) {
            return found;
        }
    }
    if (value->length() > 0) {
        return value;
    }
    return key;
}

// ----- code

bool load(const Bundle* self) {
    State& s = state(self);
    {
        std::lock_guard guard(s.lock);
        if (s.loaded) {
            return true;
        }
    }
    auto executable = cast<String>(self->objectForInfoDictionaryKey("CFBundleExecutable"_ns));
    if (executable == nullptr) {
        std::fprintf(stderr, "NSBundle %s: cannot load: Info.plist names no CFBundleExecutable\n",
                     s.path.c_str());
        return false;
    }
    std::string file = s.path + "/" + executable->str();
    // dlopen's own open of a FIFO would wait for a writer for ever: anything but a regular file is
    // no executable.
    if (!detail::RegularFile::open(file.c_str())) {
        std::fprintf(stderr, "NSBundle %s: cannot load: the executable %s couldn't be located\n",
                     s.path.c_str(), file.c_str());
        return false;
    }
    // Through the device's loader, as a device's bundle loader goes through dyld: a phone's arm64
    // build runs there, anything else is dlopened.
    if (const auto error = detail::openLibrary(file)) {
        std::fprintf(stderr, "NSBundle %s: cannot load %s: %s\n", s.path.c_str(), file.c_str(),
                     error->c_str());
        return false;
    }
    std::lock_guard guard(s.lock);
    // A bundle's code stays loaded for the life of the process: its classes are registered for good.
    s.loaded = true;
    return true;
}

Class principalClass(const Bundle* self) {
    if (!self->load()) {
        return Nil;
    }
    auto name = cast<String>(self->objectForInfoDictionaryKey("NSPrincipalClass"_ns));
    if (name == nullptr) {
        std::fprintf(stderr, "NSBundle %s: Info.plist names no NSPrincipalClass\n", state(self).path.c_str());
        return Nil;
    }
    Class cls = objc_lookUpClass(name->utf8String());
    if (cls == Nil) {
        std::fprintf(stderr, "NSBundle %s: no class %s after loading\n", state(self).path.c_str(),
                     name->utf8String());
    }
    return cls;
}

Bundle* bundleWithPath(Class cls, String* path) { return bundleFor(cls, path); }

Bundle* mainBundle(Class cls) {
    const std::string& directory = executableDirectory();
    return directory.empty() ? nullptr : bundleFor(cls, makeString(directory)).get();
}

Bundle* initWithPath(Bundle* self, String* path) {
    auto bundle = bundleFor(object_getClass(self->self()), path);
    self->release();
    return bundle->retain();
}

// Also resourcePath: an iOS bundle keeps its resources at its top.
String* bundlePath(Bundle* self) { return makeString(state(self).path); }

String* bundleIdentifier(Bundle* self) {
    return cast<String>(self->objectForInfoDictionaryKey("CFBundleIdentifier"_ns));
}

Dictionary* infoDictionary(Bundle* self) {
    State& s = state(self);
    std::lock_guard guard(s.lock);
    if (s.info == nullptr) {
        auto read = objc::adopt(
            reinterpret_cast<Object*>(detail::readPropertyList((s.path + "/Info.plist").c_str())));
        auto info = cast<Dictionary>(read.get());
        s.info = info != nullptr ? objc::retain(info).leak() : Dictionary::alloc()->init().get();
    }
    return s.info;
}

Object* objectForInfoDictionaryKey(Bundle* self, String* key) {
    return self->infoDictionary()->objectForKey(key);
}

URL* URLForResourceWithExtension(Bundle* self, String* name, String* extension) {
    auto path = self->pathForResource(name, extension);
    return path == nullptr ? nullptr : URL::fileURLWithPath(path).get();
}

bool isLoaded(Bundle* self) {
    State& s = state(self);
    std::lock_guard guard(s.lock);
    return s.loaded;
}

String* description(Bundle* self) {
    return makeString("NSBundle <" + state(self).path + "> (" +
                      (self->isLoaded() ? "loaded" : "not yet loaded") + ")");
}

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<Bundle>()
        .ivar(BundleInternals::_state)
        .method<&bundleWithPath>(Bundle::bundleWithPath_)
        .method<&mainBundle>(Bundle::mainBundle_)
        .method<&initWithPath>(Bundle::initWithPath_)
        .method<&bundlePath>(Bundle::bundlePath_)
        .method<&bundlePath>(Bundle::resourcePath_)
        .method<&bundleIdentifier>(Bundle::bundleIdentifier_)
        .method<&infoDictionary>(Bundle::infoDictionary_)
        .method<&objectForInfoDictionaryKey>(Bundle::objectForInfoDictionaryKey_)
        .method<&pathForResourceOfType>(Bundle::pathForResourceOfType_)
        .method<&URLForResourceWithExtension>(Bundle::URLForResourceWithExtension_)
        .method<&localizedString>(Bundle::localizedStringForKeyValueTable_)
        .method<&load>(Bundle::load_)
        .method<&isLoaded>(Bundle::isLoaded_)
        .method<&principalClass>(Bundle::principalClass_)
        .method<&description>(Object::description_)
        .build();
}

} // namespace
} // namespace NS
