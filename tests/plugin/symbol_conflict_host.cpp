// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
//
// A host that carries its own copy of a function the plug-in uses inside
// (Asio's io_context::run, which runs the plug-in's network thread) and
// exports it to every library it loads, as a host built with -rdynamic
// does. Its copy aborts. The plug-in must connect a printer and report its
// status without ever calling it: everything it uses is bound inside itself.
//
// The printer is a separate simulator process, so that no Asio code of this
// program could call the copy either.

#include <dlfcn.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include "host_library.h"
#include "testkit/child_process.h"
#include "testkit/scratch_dir.h"

extern "C" std::size_t host_copy_of_io_context_run(void*) __asm__("_ZN5boost4asio10io_context3runEv");
extern "C" std::size_t host_copy_of_io_context_run(void*) {
    std::fputs("FAIL: the plug-in called the host's io_context::run\n", stderr);
    std::abort();  // the simulator dies with us
}

namespace {

using namespace std::chrono_literals;

int fail(const char* what) {
    std::fprintf(stderr, "FAIL: %s\n", what);
    return 1;
}

}  // namespace

int main() {
    // The host's copy is what the dynamic linker offers every library.
    if (dlsym(RTLD_DEFAULT, "_ZN5boost4asio10io_context3runEv") != reinterpret_cast<void*>(&host_copy_of_io_context_run)) {
        return fail("the host does not export its copy (link with -rdynamic)");
    }

    const testkit::ScratchDir work("pemra-conflict");
    const std::string ports = work.path() + "/ports";
    testkit::ChildOptions how;
    how.stdout_to = testkit::ChildOutput::inherit;
    how.stderr_to = testkit::ChildOutput::inherit;
    how.die_with_parent = true;
    testkit::ChildProcess simulator(
        {PRINTER_SIM_EXECUTABLE, "--port", "0", "--count", "1", "--quiet", "--ports-file", ports}, how);
    std::string address;
    for (auto deadline = std::chrono::steady_clock::now() + 10s; address.empty();) {
        std::ifstream(ports) >> address;
        if (std::chrono::steady_clock::now() > deadline) return fail("the simulator never listened");
        std::this_thread::sleep_for(10ms);
    }

    test_host::HostLibrary lib;
    void* agent = HOST_FN(lib, pemra_network_create_agent)("", 0);
    std::atomic<bool> live{false};
    HOST_FN(lib, pemra_set_machine_status_changed_fn)(agent, [&](std::string, MachineStatus s) {
        if (s.connect_state == pemra::connect_state::open && s.machine_state >= pemra::machine_state::idle) live = true;
    });
    HOST_FN(lib, pemra_network_start)(agent);
    HOST_FN(lib, pemra_network_connect_printer)(agent, "p1", address, "", "");
    for (auto deadline = std::chrono::steady_clock::now() + 10s; !live;) {
        if (std::chrono::steady_clock::now() > deadline) return fail("no status report from the printer");
        std::this_thread::sleep_for(10ms);
    }
    HOST_FN(lib, pemra_network_destroy_agent)(agent);
    std::puts("the plug-in used its own copy throughout");
    return 0;
}
