#include "media/watermark.hpp"

#include <cairo-ft.h>
#include <fontconfig/fontconfig.h>
#include <glib.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/text.hpp"

namespace lf::media {

namespace {

struct FontSetDeleter {
    void operator()(FcFontSet* set) const { FcFontSetDestroy(set); }
};
struct PatternDeleter {
    void operator()(FcPattern* pattern) const { FcPatternDestroy(pattern); }
};
struct FaceDeleter {
    void operator()(cairo_font_face_t* face) const { cairo_font_face_destroy(face); }
};
struct ScaledFontDeleter {
    void operator()(cairo_scaled_font_t* font) const { cairo_scaled_font_destroy(font); }
};
struct FontOptionsDeleter {
    void operator()(cairo_font_options_t* options) const { cairo_font_options_destroy(options); }
};
struct GlyphsDeleter {
    void operator()(cairo_glyph_t* glyphs) const { cairo_glyph_free(glyphs); }
};

// One font of the fallback list: "Helvetica" first (Nimbus Sans here, metrically the same), then
// the fonts fontconfig would use for characters it lacks, in fontconfig's order.
struct Font {
    FcCharSet* charset = nullptr;  // owned by the font set
    std::unique_ptr<cairo_font_face_t, FaceDeleter> face;
};

class FontList {
public:
    static const FontList& shared() {
        static FontList list;
        return list;
    }
    const std::vector<Font>& fonts() const { return fonts_; }

    // The first font that has the character, or the first font when none has it.
    size_t fontFor(gunichar character) const {
        for (size_t i = 0; i < fonts_.size(); ++i) {
            if (fonts_[i].charset != nullptr && FcCharSetHasChar(fonts_[i].charset, character)) return i;
        }
        return 0;
    }

private:
    FontList() {
        std::unique_ptr<FcPattern, PatternDeleter> query(FcNameParse(reinterpret_cast<const FcChar8*>("Helvetica")));
        if (!query) return;
        FcConfigSubstitute(nullptr, query.get(), FcMatchPattern);
        FcDefaultSubstitute(query.get());
        FcResult result = FcResultNoMatch;
        sorted_.reset(FcFontSort(nullptr, query.get(), FcTrue, nullptr, &result));
        if (!sorted_) return;
        for (int i = 0; i < sorted_->nfont; ++i) {
            std::unique_ptr<FcPattern, PatternDeleter> prepared(FcFontRenderPrepare(nullptr, query.get(), sorted_->fonts[i]));
            if (!prepared) continue;
            // The placement rule needs the outlines' exact extents: no grid fitting of the glyphs,
            // whatever the system's font configuration prefers for screen text.
            FcPatternDel(prepared.get(), FC_HINTING);
            FcPatternAddBool(prepared.get(), FC_HINTING, FcFalse);
            FcPatternDel(prepared.get(), FC_HINT_STYLE);
            FcPatternAddInteger(prepared.get(), FC_HINT_STYLE, FC_HINT_NONE);
            FcPatternDel(prepared.get(), FC_AUTOHINT);
            FcPatternAddBool(prepared.get(), FC_AUTOHINT, FcFalse);
            Font font;
            FcPatternGetCharSet(sorted_->fonts[i], FC_CHARSET, 0, &font.charset);
            font.face.reset(cairo_ft_font_face_create_for_pattern(prepared.get()));
            if (cairo_font_face_status(font.face.get()) != CAIRO_STATUS_SUCCESS) continue;
            fonts_.push_back(std::move(font));
        }
    }

    std::unique_ptr<FcFontSet, FontSetDeleter> sorted_;
    std::vector<Font> fonts_;
};

// A run of text set in one font, its glyphs positioned from the line's origin (0, 0).
struct Run {
    std::unique_ptr<cairo_scaled_font_t, ScaledFontDeleter> font;
    std::unique_ptr<cairo_glyph_t, GlyphsDeleter> glyphs;
    int glyphCount = 0;
};

struct Line {
    std::vector<Run> runs;
    cairo_text_extents_t ink{};  // relative to the origin, y downwards
    bool empty = true;
};

// Sets the text as one line at the
// given size. Font fallback picks, per character, the first font of the list that has it.
std::optional<Line> setLine(const std::string& rawText, double size) {
    // Tabs and line breaks inside the text have no glyph; one line shows them as spaces.
    std::string text = rawText;
    std::replace_if(text.begin(), text.end(), [](char c) { return c == '\n' || c == '\r' || c == '\t'; }, ' ');
    static std::mutex fontMutex;  // fontconfig's and FreeType's face caches are shared
    std::lock_guard lock(fontMutex);
    const FontList& list = FontList::shared();
    // glib's character stepping below relies on well-formed UTF-8 without NUL bytes.
    if (list.fonts().empty() || !lf::text::isValidUTF8(text) || text.find('\0') != std::string::npos) {
        return std::nullopt;
    }
    std::unique_ptr<cairo_font_options_t, FontOptionsDeleter> options(cairo_font_options_create());
    // Unrounded advances and extents: cairo otherwise rounds metrics to whole pixels on image
    // surfaces, and the placement rule is in fractions of a pixel.
    cairo_font_options_set_hint_metrics(options.get(), CAIRO_HINT_METRICS_OFF);
    cairo_font_options_set_hint_style(options.get(), CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_antialias(options.get(), CAIRO_ANTIALIAS_GRAY);
    cairo_matrix_t fontMatrix, identity;
    cairo_matrix_init_scale(&fontMatrix, size, size);
    cairo_matrix_init_identity(&identity);

    Line line;
    double penX = 0;
    double left = 0, top = 0, right = 0, bottom = 0;
    const char* cursor = text.data();
    const char* end = text.data() + text.size();
    while (cursor < end) {
        const size_t fontIndex = list.fontFor(g_utf8_get_char(cursor));
        const char* runEnd = cursor;
        while (runEnd < end && list.fontFor(g_utf8_get_char(runEnd)) == fontIndex) runEnd = g_utf8_next_char(runEnd);

        Run run;
        run.font.reset(cairo_scaled_font_create(list.fonts()[fontIndex].face.get(), &fontMatrix, &identity, options.get()));
        if (cairo_scaled_font_status(run.font.get()) != CAIRO_STATUS_SUCCESS) return std::nullopt;
        cairo_glyph_t* glyphs = nullptr;
        int count = 0;
        if (cairo_scaled_font_text_to_glyphs(run.font.get(), penX, 0, cursor, static_cast<int>(runEnd - cursor), &glyphs,
                                             &count, nullptr, nullptr, nullptr) != CAIRO_STATUS_SUCCESS) {
            return std::nullopt;
        }
        run.glyphs.reset(glyphs);
        run.glyphCount = count;

        cairo_text_extents_t extents;
        cairo_scaled_font_glyph_extents(run.font.get(), glyphs, count, &extents);
        if (count > 0 && extents.width > 0 && extents.height > 0) {
            // cairo gives the bearings from the run's first glyph, not from the line's origin.
            const double runLeft = glyphs[0].x + extents.x_bearing, runTop = glyphs[0].y + extents.y_bearing;
            const double runRight = runLeft + extents.width, runBottom = runTop + extents.height;
            if (line.empty) {
                left = runLeft, top = runTop, right = runRight, bottom = runBottom;
                line.empty = false;
            } else {
                left = std::min(left, runLeft), top = std::min(top, runTop);
                right = std::max(right, runRight), bottom = std::max(bottom, runBottom);
            }
        }
        // The pen moves by the run's advance: where its last glyph starts plus that glyph's advance.
        if (count > 0) {
            cairo_text_extents_t lastGlyph;
            cairo_scaled_font_glyph_extents(run.font.get(), &glyphs[count - 1], 1, &lastGlyph);
            penX = glyphs[count - 1].x + lastGlyph.x_advance;
        }
        line.runs.push_back(std::move(run));
        cursor = runEnd;
    }
    line.ink = cairo_text_extents_t{left, top, right - left, bottom - top, penX, 0};
    return line;
}

// Glyphs are filled as outlines: cairo's glyph cache would snap each glyph's origin to the pixel
// grid, moving the text by up to half a pixel from where the placement rule puts it.
void drawLine(cairo_t* cr, const Line& line, double originX, double originY) {
    cairo_new_path(cr);
    for (const Run& run : line.runs) {
        std::vector<cairo_glyph_t> placed(run.glyphs.get(), run.glyphs.get() + run.glyphCount);
        for (cairo_glyph_t& glyph : placed) {
            glyph.x += originX;
            glyph.y += originY;
        }
        cairo_set_scaled_font(cr, run.font.get());
        cairo_glyph_path(cr, placed.data(), static_cast<int>(placed.size()));
    }
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
    cairo_fill(cr);
}

double fontSizeFor(int width, int height) { return std::max(std::min(width, height) * 0.045, 12.0); }

WatermarkLayout layoutOf(const Line& line, int width, int height) {
    WatermarkLayout layout;
    layout.fontSize = fontSizeFor(width, height);
    const double s = layout.fontSize;
    layout.shadowOffset = std::max(s / 18, 1.0);
    // In the picture's lower-left coordinates, y upwards, the glyph bounds are
    // minX = x_bearing, minY = −(y_bearing + height), and the text origin goes to
    // x = width − bw − s − minX, y = s − minY. The same point, y downwards from the top:
    const double minX = line.ink.x_bearing;
    const double minY = -(line.ink.y_bearing + line.ink.height);
    layout.originX = width - line.ink.width - s - minX;
    layout.originY = height - (s - minY);
    layout.inkLeft = layout.originX + line.ink.x_bearing;
    layout.inkRight = layout.inkLeft + line.ink.width;
    layout.inkTop = layout.originY + line.ink.y_bearing;
    layout.inkBottom = layout.inkTop + line.ink.height;
    return layout;
}

}  // namespace

std::optional<WatermarkLayout> watermarkLayout(const std::string& text, int width, int height) {
    const std::optional<Line> line = setLine(text, fontSizeFor(width, height));
    if (!line) return std::nullopt;
    return layoutOf(*line, width, height);
}

void drawWatermark(const std::string& text, int opacity, Bitmap& bitmap, int width, int height) {
    const std::optional<Line> line = setLine(text, fontSizeFor(width, height));
    if (!line || line->empty) return;
    const WatermarkLayout layout = layoutOf(*line, width, height);
    const double alpha = std::clamp(opacity / 100.0, 0.0, 1.0);

    CairoContext cr(cairo_create(bitmap.surface()));
    if (cairo_status(cr.get()) != CAIRO_STATUS_SUCCESS) return;
    // The shadow first, d pixels right of and below the text, so the text lies over it.
    cairo_set_source_rgba(cr.get(), 0, 0, 0, alpha * 0.5);
    drawLine(cr.get(), *line, layout.originX + layout.shadowOffset, layout.originY + layout.shadowOffset);
    cairo_set_source_rgba(cr.get(), 1, 1, 1, alpha);
    drawLine(cr.get(), *line, layout.originX, layout.originY);
    cairo_surface_flush(bitmap.surface());
}

}  // namespace lf::media
