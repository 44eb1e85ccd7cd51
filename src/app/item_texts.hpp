#pragma once
// The words the item list and the preview show about an item: its kind word, the line under its
// file name, the information line of the preview and the sentences of an empty or failed preview.
// They live here, beside the store, so that the views only place them.
#include <QLocale>
#include <QString>

#include <optional>

#include "model/item.hpp"
#include "model/media_kind.hpp"
#include "model/project.hpp"

namespace lf::app {

// "Picture", "Movie" or "Sound".
QString kindWord(model::MediaKind kind);

// The line under a file name in the item list: the kind word when the caption is empty, otherwise
// the caption's first non-empty line.
QString itemSubtitle(const QString& caption, model::MediaKind kind);

// The preview's information line: "Taken " + the date in the locale's long date and short time
// styles when the date came from the picture's own data, otherwise the kind word; then " · " and
// the file name.
QString itemInformation(const model::Item& item, const QLocale& locale = QLocale());

// The sentence of the preview without a selected item: "No pictures, movies or sounds in this
// folder." for an open folder without items, otherwise "Select an item to see it here.".
QString emptyPreviewText(const std::optional<model::Project>& project);

// The preview's sentence for a picture or movie whose picture could not be decoded.
inline constexpr const char16_t* undecodableText = u"Couldn’t show this picture.";

}  // namespace lf::app

namespace lf::app {

// A published address as the Home Page window lists it: without its leading "https://".
QString addressWithoutScheme(const QString& url);

}  // namespace lf::app
