#include "builder/html.hpp"

namespace lf::builder {

namespace {

// The length of the UTF-8 character at the start of text, or, when it is broken, minus the length
// of its maximal valid beginning (at least one byte): the WHATWG decoder's rule for where one
// U+FFFD ends.
int utf8Length(std::string_view text) {
    const auto byte = [&](size_t index) { return static_cast<unsigned char>(text[index]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) return 1;
    int length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return -1;
    }
    for (int index = 1; index < length; ++index) {
        if (static_cast<size_t>(index) >= text.size()) return -index;
        const unsigned char next = byte(static_cast<size_t>(index));
        const unsigned char from = index == 1 ? low : 0x80;
        const unsigned char to = index == 1 ? high : 0xBF;
        if (next < from || next > to) return -index;
    }
    return length;
}

}  // namespace

std::string htmlEscape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    size_t index = 0;
    while (index < text.size()) {
        const char c = text[index];
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&#x27;"; break;
            default: {
                const int length = utf8Length(text.substr(index));
                if (length < 0) {
                    out += "\xEF\xBF\xBD";  // U+FFFD REPLACEMENT CHARACTER
                    index += static_cast<size_t>(-length);
                } else {
                    out.append(text.substr(index, static_cast<size_t>(length)));
                    index += static_cast<size_t>(length);
                }
                continue;
            }
        }
        ++index;
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
