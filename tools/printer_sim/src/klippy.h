// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// The printer's host software as the API server sees it: Klippy's state
// (ready, startup, shutdown), its printer objects and their status, the
// G-code commands, the heaters moving toward their targets and a simulated
// print job running from a file.
//
// Time moves only when advance() is called; the status board changes only in
// publish() and publish_stats(), so the caller decides when values are read.
// Not thread-safe: owned and used by one printer on its io thread.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "gcode_line.h"
#include "machine_stats.h"
#include "motion.h"
#include "printer_sim/files.h"
#include "printer_sim/options.h"
#include "status_board.h"

namespace printer_sim::detail {

using Clock = std::chrono::steady_clock;

// What Klippy tells the API server about, as it happens.
class KlippyEvents {
public:
    virtual void gcode_response(std::string_view text) = 0;
    virtual void print_started(const GcodeFile& file) = 0;
    // status: "completed", "cancelled", "error", "klippy_shutdown", "klippy_disconnect".
    virtual void print_ended(std::string_view status, double print_duration, double total_duration,
                             double filament_used) = 0;

protected:
    ~KlippyEvents() = default;
};

// What has to happen once the reply to a script has been sent.
enum class AfterReply { nothing, emergency_stop, restart, load_filament, unload_filament };

struct ScriptResult {
    std::optional<std::string> error;  // nothing: "ok"
    AfterReply after = AfterReply::nothing;
};

class Klippy {
public:
    using FileLookup = std::function<const GcodeFile*(std::string_view)>;

    Klippy(const PrinterOptions& options, KlippyEvents& events, FileLookup find_file, Clock::time_point now);
    ~Klippy();
    Klippy(const Klippy&) = delete;
    Klippy& operator=(const Klippy&) = delete;

    // "ready", "startup", "shutdown", "error" or "disconnected" (no Klippy process).
    const std::string& state() const { return state_; }
    const std::string& state_message() const { return state_message_; }
    bool ready() const { return state_ == "ready"; }
    // Shuts down like Klipper: heaters off, the print ends in error.
    void shutdown(const std::string& reason);
    // The Klippy process is gone (a restart begins).
    void disconnect();
    // A fresh Klippy process connected: state "startup", nothing homed, heaters off.
    void start_up();
    void become_ready();

    void advance(Clock::time_point now);
    // Eventtime as Klippy reports it: seconds of its monotonic clock.
    double eventtime(Clock::time_point now) const;
    // Writes the current state of every object into the board.
    void publish(Clock::time_point now, bool stamp_send_time);
    // Overwrites toolhead.estimated_print_time with -number: a value no
    // real printer reports, so a client can tell numbered frames apart and
    // count the ones it missed.
    void number_frame(std::uint64_t number);
    // Moves the machine statistics on and writes them (mcu, system_stats).
    void publish_stats(Clock::time_point now);
    const MachineStats& machine_stats() const { return stats_; }
    const StatusBoard& board() const { return board_; }

    ScriptResult run_script(std::string_view script);
    // Nothing or the error text.
    std::optional<std::string> start_print(std::string_view filename);
    const std::string& print_state() const { return print_state_; }
    bool printing() const { return print_state_ == "printing"; }
    std::string job_filename() const { return job_file_ ? job_file_->filename : std::string(); }

private:
    struct Heater {
        double temperature = 25.0;
        double target = 0.0;
        double power = 0.0;
        double time_constant = 20.0;  // seconds to close ~63 % of the gap
        void advance(double seconds, double jitter);
    };

    struct FieldIds;  // the board's field ids, one per published value

    void register_fields();
    void publish_static();
    void publish_motion();
    void publish_print(Clock::time_point now);
    void follow_print_path(Clock::time_point now);

    // G-code
    void run_line(const GcodeLine& line, ScriptResult& result);
    bool run_motion_command(const GcodeLine& line);
    bool run_thermal_command(const GcodeLine& line);
    bool run_device_command(const GcodeLine& line);
    bool run_job_command(const GcodeLine& line, ScriptResult& result);
    void move_to(const Coord& target);
    void home(const GcodeLine& line);
    void respond_error(const std::string& message);
    void respond_info(std::string_view text);

    // The print job
    void pause_print();
    void resume_print();
    void cancel_print();
    void end_print(std::string_view print_state, std::string_view history_status, const std::string& message);
    double print_progress(Clock::time_point now) const;
    double printing_seconds(Clock::time_point now) const;

    double noise();

    const PrinterOptions& options_;
    KlippyEvents& events_;
    FileLookup find_file_;
    const Clock::time_point boot_;
    Clock::time_point last_advance_;
    Clock::time_point last_stats_;
    StatusBoard board_;
    std::unique_ptr<FieldIds> ids_;
    MachineStats stats_;
    std::uint32_t rng_;
    std::uint64_t publish_count_ = 0;

    std::string state_ = "ready";
    std::string state_message_ = "Printer is ready";

    // Motion
    MachineLimits limits_;
    std::string homed_axes_;
    Coord position_{};       // toolhead position
    Coord base_position_{};  // G92 offsets: gcode position = position - base
    Coord homing_origin_{};
    bool absolute_coordinates_ = true;
    bool absolute_extrude_ = true;
    double speed_ = 1500.0;  // mm/min, as gcode_move reports it
    double speed_factor_ = 1.0;
    double extrude_factor_ = 1.0;
    double print_time_ = 0.0;
    bool motors_enabled_ = false;

    // Devices
    Heater extruder_;
    Heater bed_;
    double fan_speed_ = 0.0;
    double box_fan_speed_ = 0.0;
    double pins_[6] = {};  // box_led, drying_box_heater, LED_WHITE, LED_ORANGE, LED_RED, BOXFAN_pin
    std::string display_message_;
    bool mesh_loaded_ = true;

    // The print job
    std::string print_state_ = "standby";
    std::string print_message_;
    std::optional<GcodeFile> job_file_;
    std::string job_path_json_;        // virtual_sdcard.file_path of the job, as JSON
    Clock::time_point job_start_{};
    Clock::duration job_printing_{};   // printing time of finished stretches (pauses excluded)
    Clock::time_point job_resumed_{};  // start of the current printing stretch
    Clock::time_point job_end_{};
    double job_wall_seconds_ = 1.0;    // wall time the whole print takes
    double job_progress_ = 0.0;        // frozen while paused and after the end
    int total_layers_ = 0;
    std::string idle_state_ = "Idle";
};

}  // namespace printer_sim::detail
