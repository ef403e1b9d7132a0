#include "ui/application.h"

#include <QApplication>
#include <QStandardPaths>
#include <QStyleFactory>

#include <fontconfig/fontconfig.h>

#include <system_error>
#include <thread>

#include "ui/internal.h"

namespace tabinowa::ui {

namespace {
std::thread startLoadingFonts() {
    try {
        return std::thread([] { FcInit(); });
    } catch (const std::system_error&) {
        return {};  // no thread: the toolkit loads it when it needs it
    }
}

// Once the toolkit exists, on a second thread while the program folder is
// opened and the deck read: the toolkit's font database (every installed
// font listed), the families of the first window's design fonts, and the
// maker's logo of the main menu, which is drawn into an image and needs no
// window. The toolkit keeps its database under its own lock, so the first
// window's text waits for this thread or finds the work done.
std::thread startPreparingFirstWindow() {
    auto logo = detail::drawLogoAhead();
    try {
        return std::thread([logo] {
            for (const char* name : {"ＭＳ Ｐゴシック", "HG創英角ﾎﾟｯﾌﾟ体"}) detail::installedFamily(name);
            logo();
        });
    } catch (const std::system_error&) {
        logo();  // no thread: drawn here, before anything waits for it
        return {};
    }
}
}  // namespace

struct Application::Impl {
    // The font configuration (its files parsed, its caches mapped) is loaded
    // on a second thread while the toolkit connects to the display; the
    // first window's text then finds it ready. Fontconfig's loading is
    // thread-safe: the toolkit's own call waits for it or shares it.
    Impl(int& argc, char** argv) : fonts(startLoadingFonts()), app(argc, argv), firstWindow(startPreparingFirstWindow()) {}
    ~Impl() {
        if (firstWindow.joinable()) firstWindow.join();
        if (fonts.joinable()) fonts.join();
    }
    std::thread fonts;
    QApplication app;
    std::thread firstWindow;
};

Application::Application(int& argc, char** argv) : d_(std::make_unique<Impl>(argc, argv)) {
    // The name picks the user's folders (~/.local/share/tabinowa, ~/.config/tabinowa);
    // the desktop file name ties the windows to the menu entry and its icon.
    QApplication::setApplicationName(QStringLiteral("tabinowa"));
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.tabinowa.Tabinowa"));
    // The same look on every desktop; windows end only through their own buttons.
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setQuitOnLastWindowClosed(false);
}

Application::~Application() = default;

int Application::exec() { return QApplication::exec(); }

void Application::quit() { QApplication::quit(); }

void Application::processEvents() {
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

namespace {

std::filesystem::path pathFromQ(const QString& s) {
    const QByteArray dir = s.toUtf8();
    return std::filesystem::path(std::u8string(reinterpret_cast<const char8_t*>(dir.constData()),
                                               static_cast<std::size_t>(dir.size())));
}

}  // namespace

std::filesystem::path Application::programFolder() { return pathFromQ(QCoreApplication::applicationDirPath()); }

std::vector<std::string> Application::arguments() {
    std::vector<std::string> out;
    for (const QString& a : QCoreApplication::arguments()) out.push_back(detail::fromQ(a));
    return out;
}

std::filesystem::path Application::userDataFolder() {
    // The name picks the folder; it is set here too, as main asks for the
    // folder before the toolkit has started.
    QCoreApplication::setApplicationName(QStringLiteral("tabinowa"));
    return pathFromQ(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
}

}  // namespace tabinowa::ui
