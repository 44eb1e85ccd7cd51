#include "app/workspace.hpp"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
#include <QStringList>

namespace lf::app {

void SystemWorkspace::openUrl(const QUrl& url) { QDesktopServices::openUrl(url); }

void SystemWorkspace::revealFolder(const std::filesystem::path& folder) {
    const QUrl location = QUrl::fromLocalFile(QString::fromStdString(folder.string()));
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        QDesktopServices::openUrl(location);
        return;
    }
    // The file managers of the common desktops (Nautilus, Dolphin, Nemo, Thunar, Caja) implement this
    // interface and show the folder selected inside its parent. The call is asynchronous: a file
    // manager that is slow to start must not freeze the window.
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.FileManager1"),
                                                       QStringLiteral("/org/freedesktop/FileManager1"),
                                                       QStringLiteral("org.freedesktop.FileManager1"),
                                                       QStringLiteral("ShowItems"));
    call << QStringList{location.toString()} << QString();
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher, [location](QDBusPendingCallWatcher* done) {
        // Without a file manager on the bus, opening the folder itself is the next best thing.
        if (done->isError()) QDesktopServices::openUrl(location);
        done->deleteLater();
    });
}

}  // namespace lf::app
