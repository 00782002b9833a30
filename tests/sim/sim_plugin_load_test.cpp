// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
//
// End to end: the built plug-in, loaded the way a host loads it (dlopen and
// dlsym by plain names), connects to a simulated printer.
#include <dlfcn.h>

#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "pemra_network/pemra_network.h"
#include "printer_sim/printer.h"

#ifndef PEMRA_NETWORK_LIBRARY
#error "PEMRA_NETWORK_LIBRARY must name the built plug-in"
#endif

namespace {

using namespace std::chrono_literals;

template <typename Fn>
Fn* symbol(void* library, const char* name) {
    return reinterpret_cast<Fn*>(dlsym(library, name));
}

// Statuses the plug-in reports, from its network thread.
class StatusLog {
public:
    void add(const std::string& device, const MachineStatus& status) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            devices_.push_back(device);
            connect_states_.push_back(status.connect_state);
        }
        cv_.notify_all();
    }
    bool wait_connect_state(int state, std::chrono::milliseconds timeout) {
        std::unique_lock<std::mutex> lock(mutex_);
        return cv_.wait_for(lock, timeout, [&] {
            for (int s : connect_states_) {
                if (s == state) return true;
            }
            return false;
        });
    }
    std::vector<std::string> devices() {
        std::lock_guard<std::mutex> lock(mutex_);
        return devices_;
    }

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    std::vector<std::string> devices_;  // guarded by mutex_
    std::vector<int> connect_states_;   // guarded by mutex_
};

TEST(SimPluginLoad, PluginConnectsAndSubscribes) {
    printer_sim::PrinterOptions options;
    options.hostname = "pemra";
    printer_sim::Printer printer(options);

    void* library = dlopen(PEMRA_NETWORK_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    auto create = symbol<decltype(pemra_network_create_agent)>(library, "pemra_network_create_agent");
    auto start = symbol<decltype(pemra_network_start)>(library, "pemra_network_start");
    auto set_status_fn =
        symbol<decltype(pemra_set_machine_status_changed_fn)>(library, "pemra_set_machine_status_changed_fn");
    auto connect = symbol<decltype(pemra_network_connect_printer)>(library, "pemra_network_connect_printer");
    auto destroy = symbol<decltype(pemra_network_destroy_agent)>(library, "pemra_network_destroy_agent");
    ASSERT_TRUE(create && start && set_status_fn && connect && destroy);

    char pattern[] = "/tmp/sim_plugin_load_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string log_dir = pattern;

    StatusLog statuses;
    void* agent = create(log_dir, 4);
    ASSERT_NE(agent, nullptr);
    set_status_fn(agent, [&statuses](std::string device, MachineStatus status) { statuses.add(device, status); });
    start(agent);
    connect(agent, "printer-1", printer.address(), "", "");

    const bool got_two = printer.wait_received(
        [](const std::vector<printer_sim::ReceivedFrame>& frames) { return frames.size() >= 2; }, 5000ms);
    const bool connected = statuses.wait_connect_state(1, 5000ms);
    const auto frames = printer.received();
    destroy(agent);
    // Kept loaded, as a host keeps its plug-in until it exits: after dlclose
    // the process crashes at exit in code of the unloaded library.
    std::filesystem::remove_all(log_dir);

    ASSERT_TRUE(got_two) << "the plug-in sent " << frames.size() << " frames";
    EXPECT_EQ(frames[0].text, R"({"jsonrpc":"2.0","method":"printer.info","params":{},"id":3})");
    EXPECT_EQ(frames[1].text, R"({"jsonrpc":"2.0","method":"printer.objects.list","params":{},"id":1})");
    bool subscribed = false;
    for (const auto& frame : frames) {
        subscribed = subscribed || frame.text.find("\"printer.objects.subscribe\"") != std::string::npos;
    }
    EXPECT_TRUE(subscribed);
    EXPECT_TRUE(connected) << "no status with connect_state 1";
    for (const auto& device : statuses.devices()) EXPECT_EQ(device, "printer-1");
}

}  // namespace
