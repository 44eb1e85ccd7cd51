#pragma once
// The folder-choosing panel as the store asks for it. The store decides what is asked and what a
// choice means; showing the panel is the window's business, so the widget implementation (over
// QFileDialog) lives in ui/ and is handed to the store by the app shell, and tests put in a chooser
// that answers at once.
#include <filesystem>
#include <optional>

#include <QString>

namespace lf::app {

// What the panel shows and allows. Only folders can be chosen, one at a time.
struct FolderRequest {
    QString message;                    // "Choose a folder of pictures, movies and sounds"
    QString button;                     // "Open", "Choose"
    std::filesystem::path startFolder;  // where the panel opens; empty: wherever the panel likes
    bool canCreateFolders = false;      // the output panel lets the user make a new folder
};

class FolderChooser {
public:
    virtual ~FolderChooser() = default;
    // The chosen folder, or nothing when the user cancelled. Called on the main thread.
    virtual std::optional<std::filesystem::path> chooseFolder(const FolderRequest& request) = 0;
};

}  // namespace lf::app
