// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "process_stats.h"

#include <malloc.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace farm {
namespace {

double seconds(const timeval& tv) { return static_cast<double>(tv.tv_sec) + static_cast<double>(tv.tv_usec) / 1e6; }

}  // namespace

double own_cpu_seconds() {
    rusage usage{};
    if (getrusage(RUSAGE_SELF, &usage) != 0) return -1;
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double process_cpu_seconds(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(in, line)) return -1;
    // The command name may hold spaces and parentheses; fields are counted
    // from the last ')'.
    const auto close = line.rfind(')');
    if (close == std::string::npos) return -1;
    std::istringstream fields(line.substr(close + 2));
    std::string field;
    unsigned long long utime = 0, stime = 0;
    // After the name: state is field 3, utime field 14, stime field 15.
    for (int index = 3; index <= 15 && fields >> field; ++index) {
        if (index == 14) utime = std::stoull(field);
        if (index == 15) stime = std::stoull(field);
    }
    const long ticks = sysconf(_SC_CLK_TCK);
    if (ticks <= 0) return -1;
    return static_cast<double>(utime + stime) / static_cast<double>(ticks);
}

SchedTimes sched_times(pid_t pid, const char* thread) {
    SchedTimes total;
    std::error_code ec;
    const std::filesystem::path tasks = "/proc/" + std::to_string(pid) + "/task";
    for (const auto& task : std::filesystem::directory_iterator(tasks, ec)) {
        std::string name;
        std::ifstream(task.path() / "comm") >> name;
        if (thread && *thread && name != thread) continue;
        unsigned long long on_cpu_ns = 0, waiting_ns = 0, slices = 0;
        std::ifstream stat(task.path() / "schedstat");
        if (!(stat >> on_cpu_ns >> waiting_ns >> slices)) continue;
        if (total.on_cpu_s < 0) total = SchedTimes{0, 0, 0};
        total.on_cpu_s += static_cast<double>(on_cpu_ns) / 1e9;
        total.waiting_s += static_cast<double>(waiting_ns) / 1e9;
        total.slices += static_cast<double>(slices);
    }
    return total;
}

double heap_in_use_kib() {
    const struct mallinfo2 info = mallinfo2();
    return static_cast<double>(info.uordblks + info.hblkhd) / 1024;
}

double own_rss_kib() {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.compare(0, 6, "VmRSS:") == 0) return std::stod(line.substr(6));
    }
    return -1;
}

double load_average() {
    std::ifstream in("/proc/loadavg");
    double one_minute = -1;
    in >> one_minute;
    return one_minute;
}

std::uint64_t raise_file_limit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return 0;
    if (limit.rlim_cur < limit.rlim_max) {
        rlimit raised = limit;
        raised.rlim_cur = limit.rlim_max;
        if (setrlimit(RLIMIT_NOFILE, &raised) == 0) limit = raised;
    }
    return static_cast<std::uint64_t>(limit.rlim_cur);
}

int silence_stdout() {
    std::fflush(stdout);
    const int saved = fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
    const int null_fd = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (null_fd >= 0) {
        dup2(null_fd, STDOUT_FILENO);
        close(null_fd);
    }
    return saved;
}

std::int64_t steady_ns() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

double wall_seconds() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

}  // namespace farm
