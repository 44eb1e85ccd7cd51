#pragma once
// What the main window shows that follows a rule rather than a plain field of the store: the title
// and item count, the labels of the number controls, when a row is shown or greyed out, which of a
// drag's locations opens, and the choices of the pickers. The widgets in ui/ only bind these to
// their controls, so every rule lives here, next to the store, and is tested without a window.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <QList>
#include <QString>
#include <QUrl>

#include "model/gallery_settings.hpp"
#include "model/project.hpp"

namespace lf::app {

class ProjectStore;

// The window title: the open folder's name, or "Lanternfold" without a project.
QString windowTitle(const std::optional<model::Project>& project);
// The item count beside the title: "12 items" (also "1 items"), or "" without a project.
QString itemCountText(const std::optional<model::Project>& project);

// Labels of the number controls of the settings pane.
QString perPageLabel(int perPage);            // "50 thumbnails per page", at 0 "All thumbnails on one page"
QString thumbSizeLabel(int thumbSize);        // "Thumbnails: 220 px"
QString imageSizeLabel(int imageSize);        // "Pictures: 1600 px on the longest side"
QString qualityLabel(int quality);            // "JPEG quality: 85"
QString opacityLabel(int watermarkOpacity);   // "Opacity: 40%"

// The ranges and steps of those controls. Values outside come only from a project file and are
// shown at the nearest end.
struct NumberRange {
    int minimum;
    int maximum;
    int step;
};
inline constexpr NumberRange perPageRange{0, 1000, 10};
inline constexpr NumberRange thumbSizeRange{60, 800, 20};
inline constexpr NumberRange imageSizeRange{400, 8000, 200};
inline constexpr NumberRange qualityRange{30, 100, 1};
inline constexpr NumberRange opacityRange{5, 100, 5};

// The opacity row is only useful with a watermark: greyed out while the text, without spaces and
// tabs at its ends, is empty.
bool opacityEnabled(const model::GallerySettings& settings);
// "Reverse order" means nothing for the person's own order.
bool reverseEnabled(const model::GallerySettings& settings);

// What the person typed into "Site name", as stored: in lower case.
std::string typedSiteName(const QString& typed);
// "Will appear at": the site name in use + "." + the domain as Cloudflare will use it; "" (the row
// hidden) while the domain field holds nothing usable.
QString willAppearAt(const std::string& siteName, const std::string& typedDomain);
// The last published address as a link; nothing (the row hidden) when it is empty or not a valid
// web address.
std::optional<QUrl> publishedAddress(const std::string& lastURL);
// "Copy Address" is offered as soon as a publish has recorded an address.
bool canCopyAddress(const std::string& lastURL);

// The enabled rules of the commands, shared by the menus, the toolbar and the Publish tab.
bool projectOpen(const ProjectStore& store);
bool canStartBuild(const ProjectStore& store);   // a project, and no build running
bool canStopBuild(const ProjectStore& store);
bool canMoveSelection(const ProjectStore& store);

// What the status bar shows besides the status text.
bool showsBuildProgress(const ProjectStore& store);    // the progress bar and "Stop"
bool showsSpinner(const ProjectStore& store);      // opening or reading details, not building
bool showsReadingDetails(const ProjectStore& store);   // "Reading photo details…"

// The location a drop opens: the first of the drag's addresses that is a local file or folder;
// nothing (the drop is refused) when none is.
std::optional<std::filesystem::path> droppedLocation(const QList<QUrl>& urls);

// One choice of a picker: what it shows and the value stored.
struct Choice {
    QString label;
    std::string value;
};
const std::vector<Choice>& templateChoices();   // Classic, Dark, Minimal
const std::vector<Choice>& languageChoices();   // English, Français, Deutsch, Italiano, Nederlands
const std::vector<Choice>& sortChoices();       // Name, Date taken, My own order

}  // namespace lf::app
