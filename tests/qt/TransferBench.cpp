// Not a test: how fast the dialog shows, and how it keeps the pace of a 1 MiB transfer to a
// printer that takes every byte at once, on Qt's offscreen platform.
#include <QElapsedTimer>
#include <cstdio>
#include <ctime>

#include "DialogRig.h"

int main(int argc, char** argv) {
    QElapsedTimer clock;
    clock.start();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    orlup::test::Rig rig;
    std::printf("start-up: dialog shown and active %lld ms after main began\n", clock.elapsed());

    constexpr uint32_t size = 1024 * 1024;
    rig.files.AddImage("/images/0493.hex").bytes.resize(size);
    orlup::test::Watcher watcher;  // the completion box ends the transfer
    qint64 endedAt = -1;
    watcher.onShown = [&](QWidget* box) {
        endedAt = clock.elapsed();
        box->close();
    };
    const std::clock_t cpuBefore = std::clock();
    clock.restart();
    rig.StartUpdate("/images/0493.hex");
    while (endedAt < 0) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const double seconds = static_cast<double>(endedAt) / 1000;
    const double cpu = static_cast<double>(std::clock() - cpuBefore) / CLOCKS_PER_SEC;
    std::printf("transfer: %u bytes in %.3f s = %.0f B/s (%.1f %% of 102400 B/s), CPU %.1f %%\n",
                size, seconds, size / seconds, size / seconds / 1024, cpu / seconds * 100);
    return 0;
}
