// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// What the benchmark reads about processes: its own CPU time and resident
// memory, another process's CPU time, the clocks it measures with.

#include <sys/types.h>

#include <cstdint>

namespace farm {

// User plus system time of every thread of this process, in seconds.
double own_cpu_seconds();
// User plus system time of another process (from /proc/PID/stat), in
// seconds; negative when it cannot be read.
double process_cpu_seconds(pid_t pid);
// Scheduler accounting of the threads of a process whose name is `thread`
// (every thread when it is empty), summed: time on a CPU and time spent
// runnable but waiting for one. Negative when nothing could be read.
struct SchedTimes {
    double on_cpu_s = -1;
    double waiting_s = -1;
    double slices = -1;  // times put on a CPU: its wakes, and the preemptions
};
SchedTimes sched_times(pid_t pid, const char* thread);

// VmRSS of this process in KiB; negative when it cannot be read.
double own_rss_kib();
// Bytes the allocator has handed out and not had back, in KiB: tells a
// leak (this grows) from a heap that is only fragmented (only RSS grows).
double heap_in_use_kib();
// The one-minute load average, for judging how quiet the machine was.
double load_average();

// A thousand printers need a thousand sockets, beyond the usual soft limit
// of 1024 open files. Returns the soft limit in force afterwards.
std::uint64_t raise_file_limit();

// The plug-in writes progress traces to standard output; pointing fd 1 at
// /dev/null keeps them from costing terminal time and from garbling output.
// Returns a private duplicate of the previous fd 1, or -1.
int silence_stdout();

std::int64_t steady_ns();
double wall_seconds();

}  // namespace farm
