// lanternfold home list | preview | publish: the Home Page window's actions from the command line.
// Each first loads, as the window does when it appears (discovers the account's galleries and adopts
// the published home manifest), through the same shared HomeModel; failures print the text the
// window's alert would show.
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>

#include <QCoreApplication>
#include <QEventLoop>
#include <QObject>

#include "app/keychain.hpp"
#include "cli/commands.hpp"
#include "home/home_model.hpp"

namespace lf::cli {

namespace {

using home::HomeModel;

const char* homeUsage =
    "Usage: lanternfold home list       list the galleries of the home page in display order: site name,\n"
    "                                   shown or hidden, address, item count, locked or open, title\n"
    "       lanternfold home preview    build the home page into the work folder and print its index.html\n"
    "       lanternfold home publish    build and publish the home page, and print the result\n"
    "\n"
    "Works on the home page settings kept in the user preferences, like the Home Page window. The\n"
    "Cloudflare API token comes from the system keyring, or from LANTERNFOLD_CF_TOKEN.\n";

// Runs the event loop until the model is no longer busy with the operation just started. An
// operation refused at once (no token) never becomes busy.
void waitWhile(HomeModel& model, bool (HomeModel::*busy)() const, void (HomeModel::*finished)()) {
    if (!(model.*busy)()) return;
    QEventLoop loop;
    QObject::connect(&model, finished, &loop, &QEventLoop::quit);
    loop.exec();
}

// The window's alert on standard error; true when there was one.
bool reportedAlert(HomeModel& model) {
    if (!model.errorMessage()) return false;
    std::cerr << *model.errorMessage() << "\n";
    return true;
}

int list(const HomeModel& model) {
    for (const home::RemoteGallery& gallery : model.galleries()) {
        std::cout << gallery.siteName << '\t' << (model.isIncluded(gallery) ? "shown" : "hidden") << '\t'
                  << gallery.url << '\t' << gallery.count << '\t' << (gallery.locked ? "locked" : "open") << '\t'
                  << gallery.title << '\n';
    }
    return exitSuccess;
}

int preview(HomeModel& model) {
    std::optional<QString> built;
    QEventLoop loop;
    QObject::connect(&model, &HomeModel::previewReady, &loop, [&](const QString& path) {
        built = path;
        loop.quit();
    });
    QObject::connect(&model, &HomeModel::errorMessageChanged, &loop, &QEventLoop::quit);
    model.preview();
    loop.exec();
    if (reportedAlert(model) || !built) return exitFailure;
    std::cout << built->toStdString() << "\n";
    return exitSuccess;
}

int publish(HomeModel& model, const std::string& token) {
    model.publish(token, model.settings().accountID, model.settings().domain);
    waitWhile(model, &HomeModel::isWorking, &HomeModel::publishFinished);
    if (reportedAlert(model)) return exitFailure;
    std::cout << model.status() << "\n";
    return exitSuccess;
}

}  // namespace

int runHome(const Arguments& args) {
    // Taken at once, so that the token is gone from the environment whatever happens next.
    std::optional<std::string> tokenFromEnvironment;
    if (const char* text = std::getenv("LANTERNFOLD_CF_TOKEN")) tokenFromEnvironment = text;
    ::unsetenv("LANTERNFOLD_CF_TOKEN");

    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        std::cout << homeUsage;
        return exitSuccess;
    }
    if (args.size() != 1 || (args[0] != "list" && args[0] != "preview" && args[0] != "publish")) {
        std::cerr << homeUsage;
        return exitUsage;
    }
    const std::string& action = args[0];

    // The model hands its results to the main thread through the application's event loop.
    static int argc = 1;
    static char name[] = "lanternfold";
    static char* argv[] = {name, nullptr};
    QCoreApplication application(argc, argv);

    // A missing token is passed on as empty, as the window does; the model then says what to do.
    const std::string token = tokenFromEnvironment ? *tokenFromEnvironment : app::Keychain().cloudflareToken().value_or("");
    HomeModel& model = HomeModel::shared();
    model.load(token, model.settings().accountID);
    waitWhile(model, &HomeModel::isLoading, &HomeModel::loadFinished);
    if (reportedAlert(model)) return exitFailure;

    if (action == "list") return list(model);
    if (action == "preview") return preview(model);
    return publish(model, token);
}

}  // namespace lf::cli
