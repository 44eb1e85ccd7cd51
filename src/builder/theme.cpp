#include "builder/theme.hpp"

namespace lf::builder {

namespace {

struct ThemeValues {
    const char* bg;
    const char* fg;
    const char* muted;
    const char* accent;
    const char* card;
    const char* line;
    const char* frame;
    const char* shadow;
    const char* gap;
    const char* radius;
    const char* head;
};

constexpr ThemeValues classic{"#f3efe6", "#2a2622", "#7a7166", "#8a4b1f", "#ffffff", "#ddd5c7", "7px",
                              "0 1px 3px rgba(0,0,0,.2)", "22px", "1px",
                              "Georgia,'Times New Roman',serif"};
constexpr ThemeValues dark{"#121212", "#e6e2da", "#8d877c", "#e2b65a", "#1d1d1d", "#2c2c2c", "0px",
                           "none", "12px", "4px", "'Helvetica Neue',Helvetica,Arial,sans-serif"};
constexpr ThemeValues minimal{"#ffffff", "#111111", "#777777", "#111111", "transparent", "#e5e5e5",
                              "0px", "none", "4px", "0",
                              "'Helvetica Neue',Helvetica,Arial,sans-serif"};

const ThemeValues& themeValues(std::string_view templateName) {
    if (templateName == "dark") return dark;
    if (templateName == "minimal") return minimal;
    return classic;
}

// One rule per line. The last line packs the four small-screen rules into one media block.
constexpr std::string_view base =
    "*{box-sizing:border-box}\n"
    "html,body{margin:0}\n"
    "body{background:var(--bg);color:var(--fg);font:16px/1.5 -apple-system,BlinkMacSystemFont,\"Segoe UI\",Roboto,Helvetica,Arial,sans-serif}\n"
    "a{color:var(--accent);text-decoration:none}\n"
    "a:hover{text-decoration:underline}\n"
    "header.site{max-width:1200px;margin:0 auto;padding:44px 16px 12px;text-align:center}\n"
    ".allg{margin:0 0 14px;font-size:14px}\n"
    "header.site h1{font-family:var(--head);font-weight:normal;font-size:clamp(28px,5vw,44px);line-height:1.15;margin:0 0 10px}\n"
    ".desc{max-width:720px;margin:0 auto 8px}\n"
    ".count{color:var(--muted);font-size:14px;margin:0}\n"
    ".grid{max-width:1200px;margin:0 auto;padding:16px;display:grid;gap:var(--gap);grid-template-columns:repeat(auto-fill,minmax(min(var(--thumb),42vw),1fr))}\n"
    ".cell{display:block;background:var(--card);padding:var(--frame);box-shadow:var(--shadow);border-radius:var(--radius);color:var(--fg)}\n"
    ".cell:hover{text-decoration:none}\n"
    ".cell img{display:block;width:100%;height:auto;aspect-ratio:1/1;object-fit:cover;border-radius:var(--radius);transition:opacity .15s}\n"
    ".cell:hover img{opacity:.85}\n"
    ".cell .cap{font-size:13px;line-height:1.35;color:var(--muted);padding-top:6px;overflow:hidden;display:-webkit-box;-webkit-line-clamp:2;-webkit-box-orient:vertical}\n"
    ".pager{display:flex;justify-content:center;flex-wrap:wrap;gap:6px;padding:8px 16px 24px}\n"
    ".pager a,.pager span{min-width:38px;padding:6px 10px;border:1px solid var(--line);border-radius:4px;text-align:center}\n"
    ".pager span{background:var(--accent);color:var(--bg);border-color:var(--accent)}\n"
    "footer{text-align:center;color:var(--muted);font-size:12px;padding:24px 16px 40px}\n"
    "body.item{min-height:100vh;display:flex;flex-direction:column}\n"
    ".bar{display:flex;justify-content:space-between;align-items:center;gap:12px;padding:12px 16px;border-bottom:1px solid var(--line)}\n"
    ".bar .up{font-family:var(--head);font-size:18px;overflow:hidden;text-overflow:ellipsis;white-space:nowrap}\n"
    ".counter{color:var(--muted);font-size:14px;white-space:nowrap}\n"
    ".stage{flex:1;display:flex;align-items:center;justify-content:center;gap:8px;padding:16px 8px}\n"
    "figure{margin:0;display:flex;flex-direction:column;align-items:center;max-width:100%;min-width:0}\n"
    "figure img,figure video{display:block;max-width:100%;max-height:calc(100vh - 190px);width:auto;height:auto;background:var(--card);padding:var(--frame);box-shadow:var(--shadow)}\n"
    "figure audio{width:min(480px,80vw);margin:24px 0}\n"
    ".sound{width:min(320px,70vw);height:auto;margin-top:8px}\n"
    "figcaption{max-width:720px;text-align:center;padding:14px 8px 0}\n"
    ".meta{display:block;color:var(--muted);font-size:13px;margin-top:4px}\n"
    ".nav{flex:none;font-size:46px;line-height:1;padding:8px 12px;color:var(--muted);border-radius:4px;user-select:none}\n"
    ".nav:hover{color:var(--accent);text-decoration:none}\n"
    ".nav.off{visibility:hidden}\n"
    "@media (max-width:640px){.stage{flex-wrap:wrap;justify-content:space-between;align-content:center}figure{order:-1;width:100%}.nav{font-size:38px}figure img,figure video{max-height:calc(100vh - 200px)}}\n";

}  // namespace

std::vector<std::string> themeDeclarations(std::string_view templateName) {
    const ThemeValues& v = themeValues(templateName);
    const std::pair<const char*, const char*> pairs[] = {
        {"--bg", v.bg},         {"--fg", v.fg},     {"--muted", v.muted},   {"--accent", v.accent},
        {"--card", v.card},     {"--line", v.line}, {"--frame", v.frame},   {"--shadow", v.shadow},
        {"--gap", v.gap},       {"--radius", v.radius}, {"--head", v.head}};
    std::vector<std::string> out;
    out.reserve(std::size(pairs));
    for (const auto& [name, value] : pairs) out.push_back(std::string(name) + ":" + value + ";");
    return out;
}

std::string themeVariables(std::string_view templateName) {
    std::string out;
    for (const std::string& declaration : themeDeclarations(templateName)) out += declaration;
    return out;
}

std::string_view baseStylesheet() { return base; }

std::string galleryStylesheet(std::string_view templateName, int thumbSize) {
    std::string out = ":root{";
    out += themeVariables(templateName);
    out += "--thumb:" + std::to_string(thumbSize) + "px}\n";
    out += base;
    return out;
}

}  // namespace lf::builder
