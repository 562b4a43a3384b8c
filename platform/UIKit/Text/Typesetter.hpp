// Fonts and text layout: iOS font names resolved through fontconfig, text measured by pango.
#pragma once

#include <mutex>
#include <optional>
#include <string>

typedef struct _PangoLayout PangoLayout;
typedef struct _PangoContext PangoContext;
typedef struct _PangoFontMap PangoFontMap;
typedef struct _FcConfig FcConfig;

namespace text {

// Where the device keeps the fontconfig file that maps iOS font names to its faces.
inline constexpr const char* kDeviceFontConfig = "/System/Library/Fonts/fonts.conf";

// The face a name is drawn with.
struct Face {
    std::string family;
    std::string style;
    std::string file;
};

// NSTextAlignment values.
enum class Alignment { Left = 0, Center = 1, Right = 2, Justified = 3, Natural = 4 };

struct Style {
    std::string fontName;  // the iOS name
    double size = 17;      // points
    int numberOfLines = 1; // 0: as many as the text needs
    Alignment alignment = Alignment::Left;
};

// A text's extent in points: the box its lines take and the first baseline from the top.
struct Extent {
    double width = 0;
    double height = 0;
    double baseline = 0;
    int lines = 0;
};

class [[gnu::visibility("default")]] Typesetter {
  public:
    // Fonts as the fontconfig file at `configFile` describes them; where that file cannot be read,
    // as the host's own fontconfig setup does.
    explicit Typesetter(const std::string& configFile);
    ~Typesetter();
    Typesetter(const Typesetter&) = delete;
    Typesetter& operator=(const Typesetter&) = delete;

    // The process's typesetter, from the device's file; never destroyed.
    static Typesetter& shared();

    // The face that draws `name`; nullopt for a name that is not a font of the device.
    std::optional<Face> resolve(const std::string& name);

    // The extent of `utf8` set in `style`, wrapped at `width` points (negative: no wrapping).
    Extent measure(const std::string& utf8, const Style& style, double width = -1);

    // A pango layout of the text, for drawing; the caller owns it (g_object_unref). Sizes are in
    // points: draw with the cairo context scaled to points.
    PangoLayout* layout(const std::string& utf8, const Style& style, double width = -1);

  private:
    PangoLayout* makeLayout(const std::string& utf8, const Style& style, double width);

    std::mutex mutex_;
    FcConfig* config_ = nullptr;
    PangoFontMap* fontMap_ = nullptr;
    PangoContext* context_ = nullptr;
};

} // namespace text
