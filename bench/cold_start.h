// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Cold starts under a virtual X server: a private Xvfb, and a watcher that
// starts a program (fork + exec, a new process each time) and waits until the
// program has drawn into its first top-level window (the X damage extension
// reports the first drawing on a mapped window). The time from just before
// the fork to that first drawing is what a user waits for after a double
// click: a mapped window the toolkit has not painted yet is an empty frame.
// Used by the start-up benchmark and by the peer comparison.
//
// Every desktop session has a session bus, and a Qt program asks it at its
// first text whether a screen reader is listening; with no bus at all, the
// bus library tries to start one (a fork of the program) that no user at a
// desktop ever meets. So the programs run in a desktop-like session: the
// session bus already there (as under dbus-run-session), else a private one
// the display starts beside it (when dbus-daemon is installed).
#include <xcb/damage.h>
#include <xcb/xcb.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace tabinowa::bench {

// min / median / max of a list (sorted copy).
struct Spread {
    double min = 0, median = 0, max = 0;
    static Spread of(std::vector<double> v) {
        Spread s;
        if (v.empty()) return s;
        std::sort(v.begin(), v.end());
        s.min = v.front();
        s.max = v.back();
        const std::size_t n = v.size();
        s.median = n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
        return s;
    }
};

// A server started for the benchmark (a private Xvfb or session bus) that
// writes one line on a descriptor when it is ready: `argv` with "{fd}" in an
// argument replaced by that descriptor's number. Stopped with the object;
// ready() is empty when it could not be started or said nothing in time.
class ServerProcess {
public:
    ServerProcess(std::vector<std::string> argv, std::chrono::milliseconds timeout) {
        int fds[2];
        if (::pipe(fds) != 0) return;
        for (auto& a : argv)
            if (const auto at = a.find("{fd}"); at != std::string::npos) a.replace(at, 4, std::to_string(fds[1]));
        std::vector<char*> args;
        for (auto& a : argv) args.push_back(a.data());
        args.push_back(nullptr);
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(fds[0]);
            const int null = ::open("/dev/null", O_WRONLY);
            if (null >= 0) ::dup2(null, 2);
            ::execvp(args[0], args.data());
            ::_exit(127);
        }
        ::close(fds[1]);
        if (pid_ > 0) {
            char c;
            pollfd p{fds[0], POLLIN, 0};
            while (::poll(&p, 1, static_cast<int>(timeout.count())) > 0 && ::read(fds[0], &c, 1) == 1 && c != '\n')
                ready_ += c;
        }
        ::close(fds[0]);
        if (ready_.empty()) stop();
    }
    ~ServerProcess() { stop(); }
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;
    const std::string& ready() const { return ready_; }

private:
    void stop() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
        pid_ = -1;
    }
    pid_t pid_ = -1;
    std::string ready_;
};

// A private Xvfb on a free display, and the session bus of its programs;
// stopped with the object.
class VirtualDisplay {
public:
    VirtualDisplay()
        : xvfb_({"Xvfb", "-displayfd", "{fd}", "-screen", "0", "1920x1200x24", "-nolisten", "tcp", "-noreset"},
                std::chrono::seconds(10)) {
        // Xvfb writes its display number when it is ready.
        if (xvfb_.ready().empty()) throw std::runtime_error("Xvfb did not start (is the xvfb package installed?)");
        name_ = ":" + xvfb_.ready();
        if (const char* there = std::getenv("DBUS_SESSION_BUS_ADDRESS"); there && *there) {
            busAddress_ = there;
        } else {
            bus_ = std::make_unique<ServerProcess>(
                std::vector<std::string>{"dbus-daemon", "--session", "--nofork", "--print-address={fd}"},
                std::chrono::seconds(5));
            busAddress_ = bus_->ready();
        }
    }
    VirtualDisplay(const VirtualDisplay&) = delete;
    VirtualDisplay& operator=(const VirtualDisplay&) = delete;
    const std::string& name() const { return name_; }
    // The session bus the programs started on this display use (empty: none).
    const std::string& busAddress() const { return busAddress_; }

private:
    ServerProcess xvfb_;
    std::string name_;
    std::unique_ptr<ServerProcess> bus_;
    std::string busAddress_;
};

// One started program, measured.
struct ColdStart {
    double toMappedMs = 0;       // fork .. first top-level window mapped
    double toFirstWindowMs = 0;  // fork .. first drawing into that window
    double cpuMs = 0;            // the program's time on a processor by then (all its threads)
    long residentKiB = 0;        // VmRSS after `settle`, when asked for
    int mappedLibraries = 0;     // distinct shared objects in its memory map then
};

// Watches a display's root window for top-level windows being made, mapped
// and drawn into.
class MapWatcher {
public:
    explicit MapWatcher(const std::string& display, std::string busAddress = {}) : busAddress_(std::move(busAddress)) {
        conn_ = xcb_connect(display.c_str(), nullptr);
        if (!conn_ || xcb_connection_has_error(conn_)) throw std::runtime_error("cannot connect to " + display);
        root_ = xcb_setup_roots_iterator(xcb_get_setup(conn_)).data->root;
        const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_void_cookie_t ck = xcb_change_window_attributes_checked(conn_, root_, XCB_CW_EVENT_MASK, &mask);
        if (xcb_generic_error_t* e = xcb_request_check(conn_, ck)) {
            std::free(e);
            throw std::runtime_error("cannot watch the root window");
        }
        const xcb_query_extension_reply_t* damage = xcb_get_extension_data(conn_, &xcb_damage_id);
        if (!damage || !damage->present) throw std::runtime_error("the X server has no damage extension");
        damageEvent_ = damage->first_event + XCB_DAMAGE_NOTIFY;
        std::free(xcb_damage_query_version_reply(
            conn_, xcb_damage_query_version(conn_, XCB_DAMAGE_MAJOR_VERSION, XCB_DAMAGE_MINOR_VERSION), nullptr));
        display_ = display;
    }
    ~MapWatcher() {
        if (conn_) xcb_disconnect(conn_);
    }
    MapWatcher(const MapWatcher&) = delete;
    MapWatcher& operator=(const MapWatcher&) = delete;

    // Starts argv (argv[0] a path) in `folder` with DISPLAY set, waits for the
    // first drawing into its first mapped top-level window (at most
    // `timeout`), optionally waits
    // `settle` more and reads its resident memory and libraries, then kills
    // it and waits until its windows are gone. nullopt when no window came.
    std::optional<ColdStart> run(const std::vector<std::string>& argv, const std::string& folder,
                                 std::chrono::milliseconds timeout, std::chrono::milliseconds settle = {}) {
        drain(std::chrono::milliseconds(0));
        std::vector<char*> args;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        const auto t0 = std::chrono::steady_clock::now();
        const pid_t pid = ::fork();
        if (pid < 0) throw std::runtime_error("fork failed");
        if (pid == 0) {
            ::setenv("DISPLAY", display_.c_str(), 1);
            ::setenv("QT_QPA_PLATFORM", "xcb", 1);
            if (!busAddress_.empty()) ::setenv("DBUS_SESSION_BUS_ADDRESS", busAddress_.c_str(), 1);
            ::setpgid(0, 0);
            if (!folder.empty() && ::chdir(folder.c_str()) != 0) ::_exit(126);
            const int null = ::open("/dev/null", O_WRONLY);
            if (null >= 0) {
                ::dup2(null, 1);
                ::dup2(null, 2);
            }
            ::execv(args[0], args.data());
            ::_exit(127);
        }
        ::setpgid(pid, pid);  // also here, so that the kill below never misses it
        std::optional<ColdStart> result;
        ColdStart s;
        if (waitForFirstDrawing(pid, t0, t0 + timeout, s)) {
            if (settle.count() > 0) {
                std::this_thread::sleep_for(settle);
                s.residentKiB = residentKiB(pid);
                s.mappedLibraries = mappedLibraries(pid);
            }
            result = s;
        }
        // The whole process group: a program may have started helpers.
        ::kill(-pid, SIGKILL);
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        drain(std::chrono::milliseconds(30));
        return result;
    }

    // The time the process's threads have spent on a processor (the first
    // field of each thread's schedstat, in nanoseconds): what a start costs,
    // less the waits for the X server and for other programs on the machine.
    static double cpuMs(pid_t pid) {
        const std::string dir = "/proc/" + std::to_string(pid) + "/task";
        double ns = 0;
        std::error_code gone;
        for (const auto& t : std::filesystem::directory_iterator(dir, gone)) {
            std::ifstream in(t.path() / "schedstat");
            double run = 0;
            if (in >> run) ns += run;
        }
        return ns / 1e6;
    }

    static long residentKiB(pid_t pid) {
        std::ifstream in("/proc/" + std::to_string(pid) + "/status");
        std::string line;
        while (std::getline(in, line))
            if (line.rfind("VmRSS:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
        return 0;
    }
    static int mappedLibraries(pid_t pid) {
        std::ifstream in("/proc/" + std::to_string(pid) + "/maps");
        std::set<std::string> libs;
        std::string line;
        while (std::getline(in, line)) {
            const auto slash = line.find('/');
            if (slash == std::string::npos) continue;
            const std::string path = line.substr(slash);
            if (path.find(".so") != std::string::npos) libs.insert(path);
        }
        return static_cast<int>(libs.size());
    }

private:
    // Every top-level window is watched for drawing from its making on (a
    // damage object per window, freed by the server with the window); the
    // first drawing into a window once it is mapped ends the wait.
    bool waitForFirstDrawing(pid_t pid, std::chrono::steady_clock::time_point t0,
                             std::chrono::steady_clock::time_point deadline, ColdStart& s) {
        xcb_flush(conn_);
        const int fd = xcb_get_file_descriptor(conn_);
        std::set<xcb_window_t> mapped;
        auto since = [t0] { return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count(); };
        for (;;) {
            while (xcb_generic_event_t* ev = xcb_poll_for_event(conn_)) {
                const int type = ev->response_type & 0x7F;
                bool drawn = false;
                if (type == XCB_CREATE_NOTIFY) {
                    const auto* c = reinterpret_cast<xcb_create_notify_event_t*>(ev);
                    if (!c->override_redirect && c->parent == root_) {
                        xcb_damage_create(conn_, xcb_generate_id(conn_), c->window, XCB_DAMAGE_REPORT_LEVEL_RAW_RECTANGLES);
                        xcb_flush(conn_);
                    }
                } else if (type == XCB_MAP_NOTIFY) {
                    const auto* m = reinterpret_cast<xcb_map_notify_event_t*>(ev);
                    if (!m->override_redirect) {
                        if (mapped.empty()) s.toMappedMs = since();
                        mapped.insert(m->window);
                    }
                } else if (type == damageEvent_) {
                    drawn = mapped.count(reinterpret_cast<xcb_damage_notify_event_t*>(ev)->drawable) > 0;
                }
                std::free(ev);
                if (drawn) {
                    s.toFirstWindowMs = since();
                    s.cpuMs = cpuMs(pid);
                    return true;
                }
            }
            if (xcb_connection_has_error(conn_)) return false;
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) return false;
            pollfd p{fd, POLLIN, 0};
            ::poll(&p, 1, static_cast<int>(std::min<long long>(left.count(), 1000)));
        }
    }
    // Discards events for `quiet`: the windows of the last program going away.
    void drain(std::chrono::milliseconds quiet) {
        const int fd = xcb_get_file_descriptor(conn_);
        for (;;) {
            while (xcb_generic_event_t* ev = xcb_poll_for_event(conn_)) std::free(ev);
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(quiet.count())) <= 0) return;
        }
    }

    xcb_connection_t* conn_ = nullptr;
    xcb_window_t root_ = 0;
    int damageEvent_ = -1;
    std::string display_;
    std::string busAddress_;
};

}  // namespace tabinowa::bench
