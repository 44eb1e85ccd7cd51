#pragma once
// The three looks of a gallery ("classic", "dark", "minimal") as CSS custom properties, and the
// stylesheet every gallery and the home page share.
#include <string>
#include <string_view>
#include <vector>

namespace lf::builder {

// The custom-property declarations of a template, one "name:value;" text each, in a fixed order.
// Any name other than "classic", "dark" or "minimal" (also the empty text) gets the "classic" set.
std::vector<std::string> themeDeclarations(std::string_view templateName);

// The declarations of themeDeclarations joined without anything between them, ready to go inside
// ":root{…}": "--bg:#f3efe6;--fg:#2a2622;…;--head:Georgia,'Times New Roman',serif;".
std::string themeVariables(std::string_view templateName);

// The base stylesheet: one rule per line, every line ended by a line feed.
std::string_view baseStylesheet();

// The whole style.css of a gallery: the :root rule with the template's properties and
// "--thumb:{thumbSize}px", a line feed, then the base stylesheet.
std::string galleryStylesheet(std::string_view templateName, int thumbSize);

}  // namespace lf::builder
