// How the item list copes with a large folder: opens a folder of many small pictures with the real
// ProjectStore, shows the list, then scrolls from the top to the bottom one step per event-loop
// turn while a 1-millisecond watchdog timer measures the longest time the event loop was blocked.
// Prints the time to open, the longest and 99th-percentile blocks while scrolling, and how many
// thumbnails were asked for and arrived. Not a test: timings depend on the machine.
//
// Usage: item_list_bench FOLDER [COUNT]   (makes COUNT pictures in FOLDER first when it is empty)
#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QListView>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "app/project_store.hpp"
#include "app/thumb_loader.hpp"
#include "ui/item_list.hpp"
#include "ui/item_list_model.hpp"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: item_list_bench FOLDER [COUNT]\n");
        return 2;
    }
    const fs::path folder = argv[1];
    const int count = argc > 2 ? std::atoi(argv[2]) : 5000;
    fs::create_directories(folder);
    if (fs::is_empty(folder)) {
        QElapsedTimer making;
        making.start();
        for (int i = 0; i < count; ++i) {
            QImage picture(160, 120, QImage::Format_RGB32);
            picture.fill(QColor::fromHsv(i * 7 % 360, 160, 220));
            char name[32];
            std::snprintf(name, sizeof name, "picture-%05d.jpg", i);
            picture.save(QString::fromStdString((folder / name).string()), "JPEG", 80);
        }
        std::printf("made %d pictures of 160x120 in %.1f s\n", count, making.elapsed() / 1000.0);
    }

    lf::app::ProjectStore store;
    QElapsedTimer opening;
    opening.start();
    store.open(folder);
    QTest::qWaitFor([&] { return !store.isOpening() && store.project().has_value(); }, 600000);
    const qint64 openMs = opening.elapsed();

    lf::ui::ItemList list(store);
    list.resize(300, 760);
    QElapsedTimer showing;
    showing.start();
    list.show();
    QApplication::processEvents();
    const qint64 showMs = showing.elapsed();
    const int rows = list.model()->rowCount();

    // The watchdog: a timer that should fire every millisecond; a longer gap is time the event
    // loop spent blocked (painting, data, applying results).
    std::vector<qint64> gaps;
    QElapsedTimer clock;
    clock.start();
    qint64 last = clock.nsecsElapsed();
    QTimer watchdog;
    watchdog.setInterval(1);
    QObject::connect(&watchdog, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        gaps.push_back(now - last);
        last = now;
    });
    watchdog.start();

    QScrollBar* bar = list.view()->verticalScrollBar();
    QElapsedTimer scrolling;
    scrolling.start();
    const int step = std::max(1, bar->pageStep() / 4);
    while (bar->value() < bar->maximum()) {
        bar->setValue(std::min(bar->maximum(), bar->value() + step));
        QApplication::processEvents();
    }
    const qint64 scrollMs = scrolling.elapsed();
    // Let the decodes asked for meanwhile arrive, still watching the loop.
    QTest::qWait(2000);
    watchdog.stop();

    std::sort(gaps.begin(), gaps.end());
    const auto ms = [](qint64 ns) { return ns / 1e6; };
    const double longest = gaps.empty() ? 0 : ms(gaps.back());
    const double p99 = gaps.empty() ? 0 : ms(gaps[size_t(gaps.size() * 0.99)]);
    std::printf("rows %d; open %lld ms (scan and order off the main thread); first show %lld ms\n", rows,
                static_cast<long long>(openMs), static_cast<long long>(showMs));
    std::printf("scrolled top to bottom in %lld ms (%d-pixel steps)\n", static_cast<long long>(scrollMs), step);
    std::printf("event loop blocked: longest %.1f ms, 99th percentile %.1f ms over %zu watchdog ticks\n", longest, p99,
                gaps.size());
    std::printf("thumbnails asked for %d (of %d rows), cached now %d\n", list.model()->thumbnailRequests(), rows,
                lf::app::ThumbLoader::shared().count());
    return 0;
}
