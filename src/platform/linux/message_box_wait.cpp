#include "platform/linux/message_box_wait.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

constexpr auto kWatchInterval = std::chrono::milliseconds(20);

// Only forks of a thread showing a box are reported; the flag is copied into the child.
thread_local bool t_showing_box = false;
int g_report_fd = -1;

// In the child, between the fork and SDL's own code: its process id, for the watcher.
extern "C" void ReportBoxChild() {
    if (!t_showing_box || g_report_fd < 0) return;
    const pid_t self = getpid();
    [[maybe_unused]] const ssize_t written = write(g_report_fd, &self, sizeof self);
}

// The pipe the children write their ids to, made and hooked into fork on first use.
class ChildReports {
public:
    ChildReports() {
        if (pipe2(fds_, O_CLOEXEC | O_NONBLOCK) != 0) return;
        g_report_fd = fds_[1];
        pthread_atfork(nullptr, nullptr, ReportBoxChild);
    }
    ~ChildReports() {
        g_report_fd = -1;
        for (const int fd : fds_)
            if (fd >= 0) close(fd);
    }
    ChildReports(const ChildReports&) = delete;
    ChildReports& operator=(const ChildReports&) = delete;

    // The newest child reported since the last call, else `known`. The box's forks come
    // one after another (SDL tries one way, then the next), so only the newest can be alive.
    pid_t Newest(pid_t known) const {
        pid_t pid = 0;
        while (fds_[0] >= 0 && read(fds_[0], &pid, sizeof pid) == static_cast<ssize_t>(sizeof pid)) known = pid;
        return known;
    }

private:
    int fds_[2] = {-1, -1};
};

ChildReports& Reports() {
    static ChildReports reports;
    return reports;
}

}  // namespace

void ShowUntil(const std::function<void()>& show, bool (*ending)()) {
    const ChildReports& reports = Reports();
    std::atomic<bool> done = false;
    std::thread box([&] {
        t_showing_box = true;
        show();
        done = true;
    });
    for (pid_t child = 0; !done; std::this_thread::sleep_for(kWatchInterval)) {
        child = reports.Newest(child);
        if (child <= 0 || !ending()) continue;
        kill(child, SIGKILL);
        child = 0;
    }
    box.join();
    reports.Newest(0);  // what this box left is not the next box's
}
