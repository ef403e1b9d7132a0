#pragma once
// Work a thread does in the background, beside the window being made (the
// deck and the font configuration read at start-up), runs at a lower priority: when the
// window's thread wakes (the display server has answered it), it gets a core
// at once instead of waiting for the background thread's turn to end.
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace tabinowa {

// How much a background thread lowers its priority (its nice value): enough
// for the window's thread to take a core first, little enough that the work
// is still done soon on a machine busy with other programs.
constexpr int kBackgroundNiceness = 5;

// Lowers the calling thread's priority by `by` (on Linux the nice value is the
// thread's own; the other threads keep theirs). A thread whose priority
// cannot be read or changed keeps it.
inline void lowerThisThreadsPriority(int by) {
    const auto self = static_cast<id_t>(::gettid());
    errno = 0;
    const int now = ::getpriority(PRIO_PROCESS, self);
    if (now == -1 && errno != 0) return;
    ::setpriority(PRIO_PROCESS, self, std::min(now + by, 19));
}

}  // namespace tabinowa
