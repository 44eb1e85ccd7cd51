// Makes the pictures of the item list, the preview and the Home Page window that the README shows:
// a folder with a picture, a movie and a sound is opened with the real ProjectStore, each item is
// selected in turn and the panes are captured; the Home Page window is shown over a HomeModel whose
// discovery answers with a few sample galleries. Run under Xvfb (see the README):
//   ui_screenshots OUTPUT_FOLDER WORK_FOLDER
#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QSplitter>
#include <QTest>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/project_store.hpp"
#include "home/home_model.hpp"
#include "ui/home_page_window.hpp"
#include "ui/item_list.hpp"
#include "ui/large_image.hpp"
#include "ui/preview_pane.hpp"

namespace fs = std::filesystem;

namespace {

bool run(const std::string& command) { return std::system(command.c_str()) == 0; }

void save(QWidget& widget, const fs::path& file) {
    widget.grab().save(QString::fromStdString(file.string()));
    std::printf("%s\n", file.c_str());
}

lf::home::RemoteGallery sample(const std::string& name, const std::string& title, bool locked) {
    lf::home::RemoteGallery g;
    g.siteName = name;
    g.title = title;
    g.url = "https://" + name + ".example-account.workers.dev/";
    g.count = 24;
    g.locked = locked;
    return g;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: ui_screenshots OUTPUT_FOLDER WORK_FOLDER\n");
        return 2;
    }
    const fs::path out = argv[1];
    const fs::path work = argv[2];
    const fs::path folder = work / "Lisbon";
    fs::create_directories(folder);
    fs::create_directories(out);
    if (!fs::exists(folder / "tram.jpg")) {
        run("ffmpeg -v error -y -f lavfi -i "
            "\"gradients=size=1200x800:c0=0x2a6f97:c1=0xf4a261:x0=0:y0=0:x1=1200:y1=800:duration=1\" -frames:v 1 '" +
            (folder / "tram.jpg").string() + "'");
        run("ffmpeg -v error -y -f lavfi -i testsrc2=size=640x360:duration=3:rate=25 -pix_fmt yuv420p '" +
            (folder / "harbour.mp4").string() + "'");
        run("ffmpeg -v error -y -f lavfi -i sine=frequency=330:duration=3 '" + (folder / "fado.m4a").string() + "'");
        for (int i = 1; i <= 5; ++i) {
            run("ffmpeg -v error -y -f lavfi -i \"gradients=size=900x600:seed=" + std::to_string(i * 7) +
                ":duration=1\" -frames:v 1 '" + (folder / ("street-" + std::to_string(i) + ".jpg")).string() + "'");
        }
    }

    lf::app::ProjectStore store;
    store.open(folder);
    QTest::qWaitFor([&] { return !store.isOpening() && store.project().has_value(); }, 60000);
    for (const auto& item : store.project()->items) {
        if (item.fileName() == "tram.jpg") store.setCaption("Tram 28 climbing to Graça\nThe second line stays on the page", item);
    }

    QSplitter panes;
    auto* list = new lf::ui::ItemList(store);
    auto* preview = new lf::ui::PreviewPane(store);
    panes.addWidget(list);
    panes.addWidget(preview);
    panes.setSizes({290, 610});
    panes.resize(900, 620);
    panes.show();

    const struct {
        const char* file;
        const char* picture;
    } shots[] = {{"tram.jpg", "items-picture.png"}, {"harbour.mp4", "items-movie.png"}, {"fado.m4a", "items-sound.png"}};
    for (const auto& shot : shots) {
        store.setSelection(shot.file);
        QTest::qWaitFor([&] { return preview->largeImage()->state() != lf::ui::LargeImage::State::loading; }, 20000);
        QTest::qWait(1500);  // thumbnails and the first movie frame arrive
        save(panes, out / shot.picture);
    }

    lf::home::HomeModel::Operations operations;
    operations.discover = [](const std::string&, const std::string&, const lf::StopToken&) {
        lf::home::DiscoveryResult found;
        found.accountID = "acc";
        found.subdomain = "example-account";
        found.galleries = {sample("lisbon", "Lisbon in Spring", false), sample("family-2026", "Family 2026", true),
                           sample("harbour-walks", "Harbour Walks", false)};
        return found;
    };
    operations.publishHome = {};
    lf::home::HomeModel home(lf::home::HomePreferences(work / "Lanternfold.conf"), work / "home", operations);
    lf::home::HomeSettings settings = home.settings();
    settings.domain = "example.com";
    settings.lastURL = "https://galleries.example.com/";
    home.setSettings(settings);
    lf::ui::HomePageWindow window(home);
    window.setTokenSource([] { return std::string("token"); });
    window.show();
    QTest::qWaitFor([&] { return home.loaded(); }, 20000);
    home.setIncluded(home.galleries().back(), false);
    QTest::qWait(500);
    save(window, out / "home-page-window.png");
    return 0;
}
