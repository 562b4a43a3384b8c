#include "UIKit/Text/Typesetter.hpp"

#include "Foundation/AtomicFile.hpp"

#include <fontconfig/fontconfig.h>
#include <pango/pangocairo.h>

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <memory>

namespace text {
namespace {

// Sizes no screen shows are brought back into range rather than handed to the font machinery.
double usableSize(double size) {
    if (!std::isfinite(size) || size <= 0) {
        return 12;
    }
    return std::fmin(size, 4096);
}

struct PatternFree {
    void operator()(FcPattern* p) const { FcPatternDestroy(p); }
};
using Pattern = std::unique_ptr<FcPattern, PatternFree>;

std::string stringOf(FcPattern* p, const char* object, int index = 0) {
    FcChar8* value = nullptr;
    if (FcPatternGetString(p, object, index, &value) != FcResultMatch || value == nullptr) {
        return {};
    }
    return reinterpret_cast<const char*>(value);
}

// A fontconfig file maps a few dozen names; anything far larger is not one and is not read whole.
constexpr std::size_t kConfigLimit = 1 << 20;

// Fontconfig opens its cache files with a plain open, which waits for ever on a FIFO. It only ever
// writes regular files there, so whatever else a cache folder holds (a FIFO, a socket, a device node,
// a link to one of those) was put there by someone else, and goes: fontconfig rebuilds what it misses.
void removeNonFilesFromCaches(FcConfig* config) {
    FcStrList* folders = FcConfigGetCacheDirs(config);
    if (folders == nullptr) {
        return;
    }
    while (const FcChar8* folder = FcStrListNext(folders)) {
        DIR* entries = opendir(reinterpret_cast<const char*>(folder));
        if (entries == nullptr) {
            continue;
        }
        const int fd = dirfd(entries);
        while (const dirent* entry = readdir(entries)) {
            struct stat info {};
            if (fstatat(fd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 && !S_ISREG(info.st_mode) &&
                !S_ISDIR(info.st_mode)) {
                unlinkat(fd, entry->d_name, 0);
            }
        }
        closedir(entries);
    }
    FcStrListDone(folders);
}

} // namespace

Typesetter::Typesetter(const std::string& configFile) {
    FcConfig* config = FcConfigCreate();
    // Read here rather than by fontconfig, whose own open of a FIFO would wait for ever.
    const std::optional<std::string> settings = NS::detail::readFile(configFile.c_str(), kConfigLimit);
    const bool parsed = settings && FcConfigParseAndLoadFromMemory(
                                        config, reinterpret_cast<const FcChar8*>(settings->c_str()), FcTrue);
    if (parsed) {
        removeNonFilesFromCaches(config);
    }
    if (parsed && FcConfigBuildFonts(config)) {
        config_ = config;
    } else {
        FcConfigDestroy(config);
        config_ = FcInitLoadConfigAndFonts();
    }
    // Pango sets text with the process's current configuration: this one is made current first, so
    // that pango neither loads fontconfig's default configuration (scanning every font of the host)
    // nor needs to be handed this one (which pango 1.50 does at the price of a leaked font list).
    FcConfigSetCurrent(config_);
    fontMap_ = pango_cairo_font_map_new_for_font_type(CAIRO_FONT_TYPE_FT);
    context_ = pango_font_map_create_context(fontMap_);
    // Metrics as the device has them: fractional points, never rounded to whole pixels.
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    pango_cairo_context_set_font_options(context_, options);
    cairo_font_options_destroy(options);
    pango_context_set_round_glyph_positions(context_, FALSE);
}

Typesetter::~Typesetter() {
    g_object_unref(context_);
    g_object_unref(fontMap_);
    FcConfigDestroy(config_);
}

Typesetter& Typesetter::shared() {
    static Typesetter* const shared = new Typesetter(kDeviceFontConfig);
    return *shared;
}

std::optional<Face> Typesetter::resolve(const std::string& name) {
    if (name.empty() || name.find('\0') != std::string::npos) {
        return std::nullopt;
    }
    std::lock_guard lock(mutex_);
    const Pattern pattern(FcPatternCreate());
    FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(name.c_str()));
    FcConfigSubstitute(config_, pattern.get(), FcMatchPattern);
    // The family the device's rules turn the name into; a name no rule knows stays itself.
    const std::string wanted = stringOf(pattern.get(), FC_FAMILY);
    FcDefaultSubstitute(pattern.get());
    FcResult result = FcResultNoMatch;
    const Pattern match(FcFontMatch(config_, pattern.get(), &result));
    if (!match) {
        return std::nullopt;
    }
    // Known only when a face of that family exists: otherwise the match is just the last resort.
    bool known = false;
    for (int i = 0;; ++i) {
        const std::string family = stringOf(match.get(), FC_FAMILY, i);
        if (family.empty()) {
            break;
        }
        known = known || strcasecmp(family.c_str(), wanted.c_str()) == 0;
    }
    if (!known) {
        return std::nullopt;
    }
    return Face{stringOf(match.get(), FC_FAMILY), stringOf(match.get(), FC_STYLE),
                stringOf(match.get(), FC_FILE)};
}

PangoLayout* Typesetter::makeLayout(const std::string& utf8, const Style& style, double width) {
    PangoLayout* layout = pango_layout_new(context_);
    PangoFontDescription* font = pango_font_description_new();
    pango_font_description_set_family(font, style.fontName.empty() ? "Helvetica" : style.fontName.c_str());
    pango_font_description_set_absolute_size(font, usableSize(style.size) * PANGO_SCALE);
    pango_layout_set_font_description(layout, font);
    pango_font_description_free(font);

    // Text from files and people is not always valid UTF-8: what is not shows as U+FFFD.
    gchar* valid = g_utf8_make_valid(utf8.data(), static_cast<gssize>(utf8.size()));
    pango_layout_set_text(layout, valid, -1);
    g_free(valid);

    if (std::isfinite(width) && width > 0) {
        pango_layout_set_width(layout, static_cast<int>(std::fmin(width, 1e6) * PANGO_SCALE));
        pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
        if (style.numberOfLines > 0) {
            pango_layout_set_height(layout, -style.numberOfLines);
            pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_END);
        }
    }
    if (style.numberOfLines == 1) {
        pango_layout_set_single_paragraph_mode(layout, TRUE);
    }
    switch (style.alignment) {
    case Alignment::Center:
        pango_layout_set_alignment(layout, PANGO_ALIGN_CENTER);
        break;
    case Alignment::Right:
        pango_layout_set_alignment(layout, PANGO_ALIGN_RIGHT);
        break;
    case Alignment::Justified:
        pango_layout_set_justify(layout, TRUE);
        break;
    case Alignment::Left:
    case Alignment::Natural:
        pango_layout_set_alignment(layout, PANGO_ALIGN_LEFT);
        break;
    }
    return layout;
}

PangoLayout* Typesetter::layout(const std::string& utf8, const Style& style, double width) {
    std::lock_guard lock(mutex_);
    return makeLayout(utf8, style, width);
}

Extent Typesetter::measure(const std::string& utf8, const Style& style, double width) {
    std::lock_guard lock(mutex_);
    PangoLayout* layout = makeLayout(utf8, style, width);
    PangoRectangle logical{};
    pango_layout_get_extents(layout, nullptr, &logical);
    Extent extent;
    extent.width = static_cast<double>(logical.width) / PANGO_SCALE;
    extent.height = static_cast<double>(logical.height) / PANGO_SCALE;
    extent.baseline = static_cast<double>(pango_layout_get_baseline(layout)) / PANGO_SCALE;
    extent.lines = pango_layout_get_line_count(layout);
    if (utf8.empty()) {
        // An empty label takes no room, though pango gives an empty line its height.
        extent = Extent{};
    }
    g_object_unref(layout);
    return extent;
}

} // namespace text
