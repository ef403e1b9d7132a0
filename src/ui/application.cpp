#include "ui/application.h"

#include <QApplication>
#include <QStyleFactory>

#include "ui/internal.h"

namespace tabinowa::ui {

struct Application::Impl {
    Impl(int& argc, char** argv) : app(argc, argv) {}
    QApplication app;
};

Application::Application(int& argc, char** argv) : d_(std::make_unique<Impl>(argc, argv)) {
    QApplication::setApplicationName(QStringLiteral("クイズタビノワ"));
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

std::filesystem::path Application::programFolder() {
    const QByteArray dir = QCoreApplication::applicationDirPath().toUtf8();
    return std::filesystem::path(std::u8string(reinterpret_cast<const char8_t*>(dir.constData()),
                                               static_cast<std::size_t>(dir.size())));
}

}  // namespace tabinowa::ui
