#include "builder/html.hpp"

namespace lf::builder {

std::string htmlEscape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&#x27;"; break;
            default: out += c; break;
        }
    }
    return out;
}

std::string firstLine(std::string_view text) {
    size_t start = 0;
    while (start <= text.size()) {
        const size_t end = text.find('\n', start);
        const size_t stop = end == std::string_view::npos ? text.size() : end;
        if (stop > start) return std::string(text.substr(start, stop - start));
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    return {};
}

std::string pageFileName(int page) {
    if (page <= 0) return "index.html";
    return "index-" + std::to_string(page + 1) + ".html";
}

std::string pageHead(std::string_view language, std::string_view title, std::string_view prefix,
                     std::string_view extra) {
    std::string out;
    out += "<!doctype html>\n<html lang=\"";
    out += language;
    out += "\">\n<head>\n<meta charset=\"utf-8\">\n"
           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
           "<meta name=\"generator\" content=\"Lanternfold\">\n<title>";
    out += htmlEscape(title);
    out += "</title>\n<link rel=\"stylesheet\" href=\"";
    out += prefix;
    out += "style.css\">\n";
    out += extra;
    out += "</head>\n";
    return out;
}

std::string navLink(std::string_view href, std::string_view cls, std::string_view label,
                    std::string_view glyph) {
    std::string out;
    if (!href.empty()) {
        out += "<a class=\"nav ";
        out += cls;
        out += "\" href=\"";
        out += href;
        out += "\" aria-label=\"";
        out += label;
        out += "\" title=\"";
        out += label;
        out += "\">";
        out += glyph;
        out += "</a>";
    } else {
        out += "<span class=\"nav ";
        out += cls;
        out += " off\" aria-hidden=\"true\">";
        out += glyph;
        out += "</span>";
    }
    return out;
}

}  // namespace lf::builder
