#pragma once
// The application object for main: owns the toolkit, runs the event loop.
#include <filesystem>
#include <memory>

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

private:
    struct Impl;
    std::unique_ptr<Impl> d_;
};

}  // namespace tabinowa::ui
