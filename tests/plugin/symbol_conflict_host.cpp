// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
//
// A host that carries its own copies of functions the plug-in uses inside
// (Asio's event loop, simdjson's parser kernels and UTF-8 check, the
// logging core and its file sink, the file-system calls that make the log
// folder) and exports them to every library it loads, as a host built with
// -rdynamic on another build of the same libraries does. Each copy counts
// its call and aborts. The plug-in, loaded with RTLD_LOCAL, must connect a
// printer, report its status and write its log without ever calling one:
// everything it uses is bound inside itself.
//
// The logging library's names carry its link flavour (v2_mt_posix shared,
// v2s_mt_posix static), so the host offers both.
//
// The printer is a separate simulator process, so that no code of this
// program could call the copies either. An optional argument names another
// build of the plug-in to load instead of this tree's.

#include <dlfcn.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "host_library.h"
#include "testkit/child_process.h"
#include "testkit/scratch_dir.h"

namespace {

std::atomic<int> g_copies_called{0};

[[noreturn]] void host_copy_called(const char* name) {
    g_copies_called.fetch_add(1);
    std::fprintf(stderr, "FAIL: the plug-in called the host's %s\n", name);
    std::abort();  // the simulator dies with us
}

}  // namespace

// One exported, broken copy under a library's own symbol name; the
// parameters do not matter, the copy never returns.
#define HOST_COPY(id, symbol)                                   \
    extern "C" void host_copy_##id() __asm__(symbol);           \
    extern "C" void host_copy_##id() { host_copy_called(#id); }

#define BOOST_LOG_NS_SHARED "_ZN5boost3log11v2_mt_posix"
#define BOOST_LOG_NS_STATIC "_ZN5boost3log12v2s_mt_posix"

#define HOST_COPIES(X)                                                                                         \
    X(asio_io_context_run, "_ZN5boost4asio10io_context3runEv")                                                 \
    X(simdjson_get_active_implementation, "_ZN8simdjson25get_active_implementationEv")                         \
    X(simdjson_validate_utf8, "_ZN8simdjson13validate_utf8EPKcm")                                              \
    X(log_core_get, BOOST_LOG_NS_SHARED "4core3getEv")                                                         \
    X(log_core_open_record, BOOST_LOG_NS_SHARED "4core11open_recordERKNS1_13attribute_setE")                   \
    X(log_core_push_record_move, BOOST_LOG_NS_SHARED "4core16push_record_moveERNS1_6recordE")                  \
    X(log_file_backend_consume, BOOST_LOG_NS_SHARED                                                            \
      "5sinks17text_file_backend7consumeERKNS1_11record_viewERKNSt7__cxx1112basic_stringIcSt11char_"           \
      "traitsIcESaIcEEE")                                                                                      \
    X(static_log_core_get, BOOST_LOG_NS_STATIC "4core3getEv")                                                  \
    X(static_log_core_open_record, BOOST_LOG_NS_STATIC "4core11open_recordERKNS1_13attribute_setE")            \
    X(static_log_core_push_record_move, BOOST_LOG_NS_STATIC "4core16push_record_moveERNS1_6recordE")           \
    X(static_log_file_backend_consume, BOOST_LOG_NS_STATIC                                                     \
      "5sinks17text_file_backend7consumeERKNS1_11record_viewERKNSt7__cxx1112basic_stringIcSt11char_"           \
      "traitsIcESaIcEEE")                                                                                      \
    X(filesystem_create_directories,                                                                           \
      "_ZN5boost10filesystem6detail18create_directoriesERKNS0_4pathEPNS_6system10error_codeE")                 \
    X(filesystem_status, "_ZN5boost10filesystem6detail6statusERKNS0_4pathEPNS_6system10error_codeE")

HOST_COPIES(HOST_COPY)

namespace {

using namespace std::chrono_literals;

struct HostCopy {
    const char* symbol;
    void (*copy)();
};

#define HOST_COPY_ENTRY(id, symbol) {symbol, &host_copy_##id},
const HostCopy kHostCopies[] = {HOST_COPIES(HOST_COPY_ENTRY)};

int fail(const std::string& what) {
    std::fprintf(stderr, "FAIL: %s\n", what.c_str());
    return 1;
}

// The text of every file in the plug-in's log folder.
std::string log_text(const std::string& log_folder) {
    std::string all;
    for (const auto& entry : std::filesystem::directory_iterator(log_folder)) {
        std::ifstream in(entry.path());
        all.append(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    return all;
}

}  // namespace

int main(int argc, char** argv) {
    const char* plugin = argc > 1 ? argv[1] : PEMRA_NETWORK_LIBRARY;

    // The host's copies are what the dynamic linker offers every library.
    for (const HostCopy& c : kHostCopies) {
        if (dlsym(RTLD_DEFAULT, c.symbol) != reinterpret_cast<void*>(c.copy)) {
            return fail(std::string("the host does not export its copy of ") + c.symbol + " (link with -rdynamic)");
        }
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

    test_host::HostLibrary lib(plugin);  // RTLD_NOW | RTLD_LOCAL, as a host loads it
    // The log folder does not exist yet: the plug-in makes it.
    void* agent = HOST_FN(lib, pemra_network_create_agent)(work.path(), 4);
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

    if (log_text(work.path() + "/log").find("on_open:p1") == std::string::npos) {
        return fail("the plug-in's log has no line about the printer's connection");
    }
    if (g_copies_called.load() != 0) return fail("a copy of the host's was called");
    std::puts("the plug-in used its own copies throughout");
    return 0;
}
