#pragma once
// The desktop around the program: opening a page or an address in the default application and
// showing a folder in the file manager. The store goes through this interface so that tests can see
// what would have been opened without starting a browser.
#include <filesystem>

#include <QUrl>

namespace lf::app {

class Workspace {
public:
    virtual ~Workspace() = default;
    // Opens a local file or a web address in the application the desktop uses for it.
    virtual void openUrl(const QUrl& url) = 0;
    // Shows the folder selected in the desktop's file manager.
    virtual void revealFolder(const std::filesystem::path& folder) = 0;
};

// The real desktop: QDesktopServices for opening, and the freedesktop file manager interface
// (org.freedesktop.FileManager1.ShowItems on the session bus) for revealing, falling back to opening
// the folder itself when no file manager answers that call. Never blocks the main thread.
class SystemWorkspace : public Workspace {
public:
    void openUrl(const QUrl& url) override;
    void revealFolder(const std::filesystem::path& folder) override;
};

}  // namespace lf::app
