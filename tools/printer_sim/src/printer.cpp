// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "printer_sim/printer.h"

#include <condition_variable>
#include <stdexcept>

#include "io_thread.h"
#include "printer_core.h"
#include "recorder.h"

namespace printer_sim {

namespace detail {

// Set by a core's destructor, so stopping can wait until the core's last
// connection and timer are gone.
class GoneSignal {
public:
    void set() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            gone_ = true;
        }
        cv_.notify_all();
    }
    bool wait(std::chrono::milliseconds timeout) {
        std::unique_lock<std::mutex> lock(mutex_);
        return cv_.wait_for(lock, timeout, [this] { return gone_; });
    }

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    bool gone_ = false;  // guarded by mutex_
};

}  // namespace detail

namespace {
// Long enough for clients to answer the close frame (half a second at most).
constexpr std::chrono::milliseconds kStopWait{3000};
}  // namespace

Printer::Printer(PrinterOptions options) : Printer(std::make_shared<detail::IoThread>(), std::move(options), true) {}

Printer::Printer(std::shared_ptr<detail::IoThread> io, PrinterOptions options, bool owns_io)
    : options_(std::move(options)), io_(std::move(io)), owns_io_(owns_io), recorder_(std::make_shared<detail::Recorder>()) {
    std::lock_guard<std::mutex> lock(lifecycle_mutex_);
    start_core();
}

Printer::~Printer() { stop(); }

std::string Printer::address() const { return options_.bind_address + ":" + std::to_string(port_); }

void Printer::start_core() {
    PrinterOptions options = options_;
    if (port_ != 0) options.port = port_;
    auto gone = std::make_shared<detail::GoneSignal>();
    auto core = io_->call([&] {
        auto created = std::make_shared<detail::PrinterCore>(io_->io(), std::move(options), recorder_,
                                                             [gone] { gone->set(); });
        created->start();
        return created;
    });
    port_ = core->port();
    core_ = std::move(core);
    gone_ = std::move(gone);
}

void Printer::stop_core() {
    if (!core_) return;
    std::shared_ptr<detail::PrinterCore> core = std::move(core_);
    std::shared_ptr<detail::GoneSignal> gone = std::move(gone_);
    io_->call([&] {
        core->shutdown();
        // Released on the io thread, where the core's last handlers run.
        core.reset();
    });
    if (!gone->wait(kStopWait)) {
        // A client that never answered the close frame; the io thread ends it
        // after the close timeout, or the io_context's end does.
    }
}

void Printer::stop() {
    std::lock_guard<std::mutex> lock(lifecycle_mutex_);
    stop_core();
    if (owns_io_) io_->join();
}

bool Printer::running() const {
    std::lock_guard<std::mutex> lock(lifecycle_mutex_);
    return core_ != nullptr;
}

void Printer::restart() {
    std::lock_guard<std::mutex> lock(lifecycle_mutex_);
    if (!core_) throw std::logic_error("printer_sim::Printer::restart: the printer was stopped");
    stop_core();
    start_core();
}

template <typename F>
auto Printer::on_core(F&& fn) const {
    std::lock_guard<std::mutex> lock(lifecycle_mutex_);
    if (!core_) throw std::logic_error("printer_sim::Printer: the printer is stopped");
    detail::PrinterCore& core = *core_;
    return io_->call([&] { return fn(core); });
}

// ---- Recording ------------------------------------------------------------------

std::vector<ReceivedFrame> Printer::received() const { return recorder_->frames(); }
void Printer::clear_received() { recorder_->clear_frames(); }

bool Printer::wait_received(const std::function<bool(const std::vector<ReceivedFrame>&)>& pred,
                            std::chrono::milliseconds timeout) const {
    return recorder_->wait_frames(pred, timeout);
}

bool Printer::wait_for_text(const std::string& text, std::chrono::milliseconds timeout) const {
    return recorder_->wait_frames(
        [&](const std::vector<ReceivedFrame>& frames) {
            for (const auto& frame : frames) {
                if (frame.text == text) return true;
            }
            return false;
        },
        timeout);
}

ConnectionCounters Printer::counters() const { return recorder_->counters(); }

bool Printer::wait_counters(const std::function<bool(const ConnectionCounters&)>& pred,
                            std::chrono::milliseconds timeout) const {
    return recorder_->wait_counters(pred, timeout);
}

std::vector<ClientClose> Printer::closes() const { return recorder_->closes(); }

std::vector<std::string> Printer::listen_errors() const { return recorder_->listen_errors(); }

bool Printer::wait_closes(const std::function<bool(const std::vector<ClientClose>&)>& pred,
                          std::chrono::milliseconds timeout) const {
    return recorder_->wait_closes(pred, timeout);
}

// ---- Controls --------------------------------------------------------------------

std::string Printer::run_gcode(const std::string& script) {
    return on_core([&](detail::PrinterCore& c) { return c.run_gcode(script); });
}
std::string Printer::start_print(const std::string& filename) {
    return on_core([&](detail::PrinterCore& c) { return c.start_print(filename); });
}
std::string Printer::klippy_state() const {
    return on_core([](detail::PrinterCore& c) { return c.klippy_state(); });
}
std::string Printer::print_state() const {
    return on_core([](detail::PrinterCore& c) { return c.print_state(); });
}
std::string Printer::status_text() const {
    return on_core([](detail::PrinterCore& c) { return c.status_text(); });
}
void Printer::set_objects(std::vector<std::string> objects) {
    on_core([&](detail::PrinterCore& c) { c.set_objects(std::move(objects)); });
}
void Printer::klippy_shutdown(const std::string& reason) {
    on_core([&](detail::PrinterCore& c) { c.klippy_shutdown(reason); });
}
void Printer::klippy_disconnected() {
    on_core([](detail::PrinterCore& c) { c.klippy_disconnected(); });
}
void Printer::klippy_ready() {
    on_core([](detail::PrinterCore& c) { c.klippy_ready(); });
}
void Printer::begin_restart() {
    on_core([](detail::PrinterCore& c) { c.begin_restart(); });
}
void Printer::refuse_connections(bool refuse) {
    on_core([&](detail::PrinterCore& c) { c.refuse_connections(refuse); });
}
void Printer::stall_handshakes(bool stall) {
    on_core([&](detail::PrinterCore& c) { c.stall_handshakes(stall); });
}
void Printer::hold_handshakes(bool hold) {
    on_core([&](detail::PrinterCore& c) { c.hold_handshakes(hold); });
}
void Printer::raw_stream(std::optional<RawStream> script) {
    on_core([&](detail::PrinterCore& c) { c.raw_stream(std::move(script)); });
}
void Printer::restart_server(std::chrono::milliseconds down_for) {
    on_core([&](detail::PrinterCore& c) { c.restart_server(down_for); });
}
void Printer::go_silent(bool silent) {
    on_core([&](detail::PrinterCore& c) { c.go_silent(silent); });
}
void Printer::refuse_unauthorized(bool refuse) {
    on_core([&](detail::PrinterCore& c) { c.refuse_unauthorized(refuse); });
}
void Printer::withhold_pongs(bool withhold) {
    on_core([&](detail::PrinterCore& c) { c.withhold_pongs(withhold); });
}
void Printer::pause_status_updates(bool pause) {
    on_core([&](detail::PrinterCore& c) { c.pause_status_updates(pause); });
}
void Printer::pause_proc_stats(bool pause) {
    on_core([&](detail::PrinterCore& c) { c.pause_proc_stats(pause); });
}
void Printer::drop_connections() {
    on_core([](detail::PrinterCore& c) { c.drop_connections(); });
}
void Printer::close_connections(std::uint16_t code, const std::string& reason) {
    on_core([&](detail::PrinterCore& c) { c.close_connections(code, reason); });
}
void Printer::set_method_fault(const std::string& method, MethodFault fault) {
    on_core([&](detail::PrinterCore& c) { c.set_method_fault(method, std::move(fault)); });
}
void Printer::clear_method_faults() {
    on_core([](detail::PrinterCore& c) { c.clear_method_faults(); });
}
void Printer::send_text(const std::string& text, int connection) {
    on_core([&](detail::PrinterCore& c) { c.send_text(text, connection); });
}
void Printer::send_binary(const std::string& bytes, int connection) {
    on_core([&](detail::PrinterCore& c) { c.send_binary(bytes, connection); });
}
void Printer::send_oversized(std::size_t bytes, int connection) {
    on_core([&](detail::PrinterCore& c) { c.send_oversized(bytes, connection); });
}
std::vector<int> Printer::open_connections() const {
    return on_core([](detail::PrinterCore& c) { return c.open_connections(); });
}

}  // namespace printer_sim
