#pragma once
// Small pieces of HTML shared by the gallery pages and the home page: escaping, the first line of a
// caption, index page file names, the common page head and the arrow links of item pages.
#include <string>
#include <string_view>

namespace lf::builder {

// Replaces & < > " ' by &amp; &lt; &gt; &quot; &#x27; and copies everything else unchanged. The five
// characters are ASCII, and UTF-8 never uses an ASCII byte inside a longer character, so working on
// bytes never splits a character or a cluster of characters. Bytes that are not UTF-8 (a Linux file
// name may hold any) become U+FFFD, one for each maximal broken sequence as a browser decodes them,
// so every page is valid UTF-8 and shows what the browser would have shown.
std::string htmlEscape(std::string_view text);

// The first non-empty part of the text split at line feeds; empty when there is none.
std::string firstLine(std::string_view text);

// "index.html" for page 0, "index-2.html" for page 1, "index-3.html" for page 2, …
std::string pageFileName(int page);

// The head shared by every page, from the doctype to "</head>\n". language goes into the lang
// attribute as given; title is escaped; prefix is put before "style.css" ("" or "../"); extra is
// inserted just before "</head>" (the prefetch line of an item page, or nothing).
std::string pageHead(std::string_view language, std::string_view title, std::string_view prefix,
                     std::string_view extra);

// The previous or next arrow of an item page: a link when href is not empty, otherwise a hidden
// span that keeps the arrow's place. label is a page text and is inserted as it is.
std::string navLink(std::string_view href, std::string_view cls, std::string_view label,
                    std::string_view glyph);

}  // namespace lf::builder
