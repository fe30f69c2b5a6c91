// Makes the README's screenshots: the real dialog driven through one transfer to a fake printer.
#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#ifdef ORLUP_SCREENSHOTS_XCB
#include <xcb/xcb.h>
#endif

#include "AboutDialog.h"
#include "TemplateWidgets.h"
#include "UpdaterDialog.h"
#include "fakes/FakePlatform.h"

namespace {

using namespace orlup;

const char* const ImagePath = "/home/tech/firmware/0493v214.hex";
constexpr int ImageBytes = 120 * 1024;
constexpr int SettleMs = 400;  // lets a newly shown window be mapped, decorated and painted

class ChooseImage : public FileChooser {
public:
    std::optional<QString> ChooseFile(QWidget*, const FileRequest&) override { return ImagePath; }
};

class NoHelp : public HelpViewer {
public:
    bool ShowHelp() override { return true; }
};

#ifdef ORLUP_SCREENSHOTS_XCB
// A window manager may place a window without Qt hearing of it, so the X server is asked where
// the window really is; the frame's margins Qt does know.
QRect FrameOnScreen(QWidget& window) {
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    QPoint client = window.geometry().topLeft();
    if (x11 != nullptr) {
        xcb_connection_t* connection = x11->connection();
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
        const auto cookie = xcb_translate_coordinates(
            connection, static_cast<xcb_window_t>(window.winId()), root, 0, 0);
        if (auto* reply = xcb_translate_coordinates_reply(connection, cookie, nullptr)) {
            client = QPoint(reply->dst_x, reply->dst_y);
            std::free(reply);
        }
    }
    return QRect(client, window.size()).marginsAdded(window.windowHandle()->frameMargins());
}
#else
QRect FrameOnScreen(QWidget& window) { return window.frameGeometry(); }
#endif

// With a window manager on X11 the frame is read back from the screen, title bar included;
// elsewhere (the offscreen platform) only the window's own contents can be rendered.
bool Capture(QWidget& window, const QString& path) {
    QPixmap shot;
    const bool framed = window.windowHandle()->frameMargins() != QMargins();
    if (QGuiApplication::platformName() == "xcb" && framed) {
        const QRect frame = FrameOnScreen(window);
        shot = window.screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
    } else {
        shot = window.grab();
    }
    const bool saved = shot.save(path);
    std::printf("%s %s (%dx%d)\n", saved ? "wrote" : "FAILED", qPrintable(path), shot.width(),
                shot.height());
    return saved;
}

// Steps run one after another on a polling timer, which also ticks inside the modal loops of
// the message box and the About box; a step returns true when it is done.
class Script : public QObject {
public:
    using Step = std::function<bool()>;
    explicit Script(std::vector<Step> steps) : steps_(std::move(steps)) {
        connect(&poll_, &QTimer::timeout, this, [this] { Run(); });
        poll_.start(20);
    }
    bool failed = false;

private:
    void Run() {
        if (running_ || next_ >= steps_.size()) return;
        running_ = true;
        const std::size_t current = next_;
        if (steps_[current]()) ++next_;
        running_ = false;
    }
    std::vector<Step> steps_;
    std::size_t next_ = 0;
    bool running_ = false;
    QTimer poll_;
};

Script::Step Wait(int ms) {
    auto started = std::make_shared<qint64>(-1);
    return [started, ms] {
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        if (*started < 0) *started = now;
        return now - *started >= ms;
    };
}

template <typename Box>
Script::Step WaitForModal() {
    return [] { return qobject_cast<Box*>(QApplication::activeModalWidget()) != nullptr; };
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath());

    test::FakePlatform files;
    files.AddDevice("printer");
    files.AddImage(ImagePath).bytes.assign(ImageBytes, 0x5A);
    ChooseImage chooser;
    NoHelp help;
    UpdaterDialog dialog(DialogSeams{files.System(), chooser, help});
    bool ok = true;
    auto capture = [&ok, &out](QWidget* window, const char* name) {
        ok = Capture(*window, out.filePath(name)) && ok;
        return true;
    };

    Script script({
        [&] {
            dialog.OnSelectFile();
            return true;
        },
        Wait(SettleMs),
        [&] { return capture(&dialog, "linux-idle.png"); },
        [&] {
            static_cast<QPushButton*>(FindControl(dialog, IDC_UPDATE_FLASH))->click();
            return true;
        },
        [&] { return dialog.flashUpdate().bytesSent() >= ImageBytes * 45 / 100; },
        [&] { return capture(&dialog, "linux-transfer.png"); },
        WaitForModal<QMessageBox>(),
        Wait(SettleMs),
        [&] { return capture(QApplication::activeModalWidget(), "linux-message.png"); },
        [&] {
            QApplication::activeModalWidget()->close();
            return true;
        },
        [&] {
            dialog.OnSysCommand(IDM_ABOUT, 0);
            return true;
        },  // returns when it closes
        [&] {
            dialog.close();
            app.quit();
            return true;
        },
    });
    Script aboutBox({
        WaitForModal<AboutDialog>(),
        Wait(SettleMs),
        [&] { return capture(QApplication::activeModalWidget(), "linux-about.png"); },
        [&] {
            QApplication::activeModalWidget()->close();
            return true;
        },
    });
    dialog.show();
    app.exec();
    return ok ? 0 : 1;
}
