// SPDX-License-Identifier: GPL-3.0-or-later
// Our program against a peer program, both started cold on one private Xvfb,
// in turn (the order swapped every pair): time from exec to the first drawing
// into the first window mapped, resident memory two seconds later, shared libraries mapped then,
// and shared libraries each executable links (ldd). Prints the ratios ours /
// peer's last, as min / median / max over the pairs.
//
//   tabinowa-peer OUR_PROGRAM PEER_PROGRAM [PAIRS]
// OUR_PROGRAM lies in its program folder (beside file/, file1/, 作業ファイル/).
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "cold_start.h"

namespace fs = std::filesystem;
using tabinowa::bench::ColdStart;
using tabinowa::bench::Spread;

namespace {

// Shared libraries ldd lists for an executable (0 when ldd cannot tell).
int linkedLibraries(const std::string& exe) {
    const std::string command = "ldd '" + exe + "' 2>/dev/null";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
    if (!pipe) return 0;
    int n = 0;
    char line[4096];
    while (std::fgets(line, sizeof line, pipe.get()))
        if (std::string(line).find(".so") != std::string::npos) ++n;
    return n;
}

void printRow(const char* what, const std::vector<double>& ours, const std::vector<double>& peer, const char* unit,
              const char* goal) {
    std::vector<double> ratios;
    for (std::size_t i = 0; i < ours.size() && i < peer.size(); ++i)
        if (peer[i] > 0) ratios.push_back(ours[i] / peer[i]);
    const Spread o = Spread::of(ours), p = Spread::of(peer), r = Spread::of(ratios);
    std::printf("%-26s ours %8.1f / %8.1f / %8.1f %s   peer %8.1f / %8.1f / %8.1f %s\n", what, o.min, o.median,
                o.max, unit, p.min, p.median, p.max, unit);
    std::printf("%-26s ours / peer = %.2fx min, %.2fx median, %.2fx max%s\n", what, r.min, r.median, r.max, goal);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s OUR_PROGRAM PEER_PROGRAM [PAIRS]\n", argv[0]);
        return 2;
    }
    const std::string ours = fs::absolute(argv[1]).string(), peer = argv[2];
    const int pairs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 9;
    try {
        tabinowa::bench::VirtualDisplay display;
        tabinowa::bench::MapWatcher watcher(display.name(), display.busAddress());
        const auto timeout = std::chrono::seconds(60);
        const auto settle = std::chrono::seconds(2);
        const std::string folder = fs::path(ours).parent_path().string();
        auto start = [&](const std::string& exe) {
            auto s = watcher.run({exe}, folder, timeout, settle);
            if (!s) throw std::runtime_error(exe + " showed no window within 60 s");
            return *s;
        };
        // One start of each first: both find their files in the cache.
        start(ours);
        start(peer);
        std::vector<double> startOurs, startPeer, memOurs, memPeer, libOurs, libPeer;
        for (int i = 0; i < pairs; ++i) {
            ColdStart a, b;
            if (i % 2 == 0) {
                a = start(ours);
                b = start(peer);
            } else {
                b = start(peer);
                a = start(ours);
            }
            startOurs.push_back(a.toFirstWindowMs);
            startPeer.push_back(b.toFirstWindowMs);
            memOurs.push_back(static_cast<double>(a.residentKiB) / 1024.0);
            memPeer.push_back(static_cast<double>(b.residentKiB) / 1024.0);
            libOurs.push_back(a.mappedLibraries);
            libPeer.push_back(b.mappedLibraries);
            std::printf("pair %d: ours %.1f ms %.1f MiB %d libraries, peer %.1f ms %.1f MiB %d libraries\n", i + 1,
                        a.toFirstWindowMs, memOurs.back(), a.mappedLibraries, b.toFirstWindowMs, memPeer.back(),
                        b.mappedLibraries);
            std::fflush(stdout);
        }
        const int linkedOurs = linkedLibraries(ours), linkedPeer = linkedLibraries(peer);
        std::printf("\nours: %s\npeer: %s\n%d pairs on Xvfb %s, min / median / max\n", ours.c_str(), peer.c_str(),
                    pairs, display.name().c_str());
        printRow("start-up to first painted", startOurs, startPeer, "ms", " (goal: at most 0.2x)");
        printRow("resident memory after 2 s", memOurs, memPeer, "MiB", " (goal: at most 0.5x)");
        printRow("libraries mapped after 2 s", libOurs, libPeer, "", "");
        if (linkedPeer > 0)
            std::printf("%-26s ours %d, peer %d: ours / peer = %.2fx\n", "libraries linked (ldd)", linkedOurs,
                        linkedPeer, static_cast<double>(linkedOurs) / linkedPeer);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
