#pragma once
// The application object for main: owns the toolkit, runs the event loop.
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace tabinowa::ui {

class Application {
public:
    Application(int& argc, char** argv);
    ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // Runs until quit(); returns the exit code.
    int exec();
    void quit();
    // Handles the events waiting now (used by tools that drive windows).
    static void processEvents();

    // The folder holding the program's executable.
    static std::filesystem::path programFolder();
    // The command line (UTF-8) without the options the toolkit took for itself.
    static std::vector<std::string> arguments();
    // The user's own data folder for this program (~/.local/share/tabinowa);
    // may be asked before the application object is made.
    static std::filesystem::path userDataFolder();

private:
    struct Impl;
    std::unique_ptr<Impl> d_;
};

}  // namespace tabinowa::ui
