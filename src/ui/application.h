// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The application object for main: owns the toolkit, reads the command line,
// runs the event loop.
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tabinowa::ui {

// What the command line asks for.
struct CommandLine {
    // --folder DIR: the program folder to use.
    std::optional<std::filesystem::path> folder;
    // Set when the program ends at once: after --help or --version (0, the
    // text on standard output) or a command line it cannot take (2, the
    // reason in Japanese on standard error). No folder has been touched.
    std::optional<int> exitCode;
};

class Application {
public:
    Application(int& argc, char** argv);
    ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // Reads the command line once (the toolkit's own options already taken)
    // and prints what --help, --version or a mistake asks for.
    CommandLine readCommandLine() const;

    // Runs until quit(); returns the exit code.
    int exec();
    void quit();
    // Handles the events waiting now (used by tools that drive windows).
    static void processEvents();
    // Handles events, waiting for them, until `done` is true (a small window's answer).
    static void runUntil(const std::function<bool()>& done);
    // Whether a window can be seen: false on the offscreen and minimal platforms.
    static bool canShowWindows();

    // The folder holding the program's executable.
    static std::filesystem::path programFolder();
    // The user's own data folder for this program (~/.local/share/tabinowa).
    static std::filesystem::path userDataFolder();

private:
    struct Impl;
    std::unique_ptr<Impl> d_;
};

// The command line's reading, on the words after the program's name; what it
// would print goes to `out` (standard output) or `err` (standard error).
CommandLine readCommandLine(const std::vector<std::string>& args, std::string& out, std::string& err);

}  // namespace tabinowa::ui
