#include "ui/application.h"

#include <QApplication>
#include <QIconEngine>
#include <QPainter>
#include <QProxyStyle>
#include <QStandardPaths>
#include <QStyleFactory>

#include <fontconfig/fontconfig.h>

#include <future>
#include <memory>
#include <system_error>
#include <thread>

#include "core/base/thread_priority.h"
#include "ui/internal.h"

namespace tabinowa::ui {

// What FcInit loads, but for the files of rules that are only offered, not in
// use (conf.avail): the library parses them all as well, for the descriptions
// a listing of the configuration shows, and they were half the XML parsed at
// each start.
FcConfig* detail::readFontConfiguration() {
    FcConfig* config = FcConfigCreate();
    if (config && FcConfigParseAndLoad(config, nullptr, FcTrue) && FcConfigBuildFonts(config)) return config;
    if (config) FcConfigDestroy(config);
    return nullptr;
}

namespace {

void loadFontConfiguration() {
    if (FcConfig* config = detail::readFontConfiguration()) {
        const bool current = FcConfigSetCurrent(config);
        FcConfigDestroy(config);  // the current configuration keeps its own reference
        if (current) return;
    }
    FcInit();  // the library's own load, with its built-in default when no file can be read
}

// The font configuration is loaded on a second thread while the toolkit
// connects to the display, at a lower priority, so that the display's
// answers reach the toolkit's thread without waiting for a core. Two loads at
// once would each parse everything (the library keeps the first to finish),
// so the program's first look into the font database waits for this one
// (detail::setFontsLoading).
std::thread startLoadingFonts() {
    try {
        auto done = std::make_shared<std::promise<void>>();
        std::shared_future<void> loaded = done->get_future().share();
        std::thread loading([done] {
            lowerThisThreadsPriority(kBackgroundNiceness);
            loadFontConfiguration();
            done->set_value();
        });
        detail::setFontsLoading(std::move(loaded));
        return loading;
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

namespace {

// An icon of the style made only when it is first drawn or measured. Every
// menu bar makes a tool button for the items that do not fit, with the
// style's icon decoded from its picture files at once; the program's menu bars
// always fit, so that button never shows, and its icon was decoded for nothing
// at each start.
class DeferredIcon final : public QIconEngine {
public:
    DeferredIcon(const QStyle* style, QStyle::StandardPixmap which) : style_(style), which_(which) {}
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
        icon().paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return icon().actualSize(size, mode, state);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return icon().pixmap(size, mode, state);
    }
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state, qreal scale) override {
        return icon().pixmap(size, scale, mode, state);
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override {
        return icon().availableSizes(mode, state);
    }
    bool isNull() override { return icon().isNull(); }
    QIconEngine* clone() const override { return new DeferredIcon(*this); }

private:
    QIcon& icon() {
        if (!made_) {
            icon_ = style_->standardIcon(which_);
            made_ = true;
        }
        return icon_;
    }
    const QStyle* style_;  // the application's style, which outlives every widget
    QStyle::StandardPixmap which_;
    QIcon icon_;
    bool made_ = false;
};

// Fusion, with the menu bars' overflow icons made when first needed.
class Style final : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;
    QIcon standardIcon(StandardPixmap which, const QStyleOption* option, const QWidget* widget) const override {
        if ((which == SP_ToolBarHorizontalExtensionButton || which == SP_ToolBarVerticalExtensionButton) && !option)
            return QIcon(new DeferredIcon(baseStyle(), which));
        return QProxyStyle::standardIcon(which, option, widget);
    }
};

}  // namespace

QStyle* detail::makeProgramStyle() { return new Style(QStyleFactory::create(QStringLiteral("Fusion"))); }

struct Application::Impl {
    // The font configuration (its files parsed, its caches mapped) is loaded
    // on a second thread while the toolkit connects to the display; the
    // first window's text then finds it ready.
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
    QApplication::setStyle(detail::makeProgramStyle());
    QApplication::setQuitOnLastWindowClosed(false);
    // Every window keeps its menu bar in the window (never the desktop's
    // global menu), so no menu bar asks the session bus for one.
    QApplication::setAttribute(Qt::AA_DontUseNativeMenuBar);
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
