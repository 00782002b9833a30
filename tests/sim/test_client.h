// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// A plain WebSocket client for testing the printer simulator: it connects to
// one printer, sends text frames and keeps everything it receives.
//
// It runs its own io thread. Every method may be called from the test thread;
// the received frames and the connection state are guarded by one mutex, and
// every wait_* returns false once its deadline passes.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>
#include <websocketpp/client.hpp>
#include <websocketpp/config/asio_no_tls_client.hpp>

namespace sim_test {

using namespace std::chrono_literals;

struct Frame {
    std::chrono::steady_clock::time_point at;
    bool binary = false;
    std::string text;
    nlohmann::json json;  // discarded when the text is not JSON
};

class TestClient {
public:
    TestClient();
    ~TestClient();
    TestClient(const TestClient&) = delete;
    TestClient& operator=(const TestClient&) = delete;

    // Connects to ws://127.0.0.1:PORT + path; true once open, false when the
    // handshake fails or the deadline passes.
    bool connect(std::uint16_t port, const std::string& path = "/websocket",
                 std::chrono::milliseconds timeout = 2000ms);
    void send(const std::string& text);
    void send_binary(const std::string& bytes);
    void ping(const std::string& payload = "hb");
    void close(std::uint16_t code = 1000, const std::string& reason = "bye");

    // Sends a request and waits for the reply carrying `id`; discarded json on timeout.
    nlohmann::json call(const std::string& method, const nlohmann::json& params, int id,
                        std::chrono::milliseconds timeout = 2000ms);
    // The reply carrying `id`, waiting for it.
    nlohmann::json reply(int id, std::chrono::milliseconds timeout = 2000ms);

    std::vector<Frame> frames() const;
    void clear_frames();
    // Notifications with this method, oldest first.
    std::vector<Frame> notifications(const std::string& method) const;
    bool wait(const std::function<bool(const std::vector<Frame>&)>& pred, std::chrono::milliseconds timeout) const;
    // Waits until `count` notifications with `method` have arrived.
    bool wait_notifications(const std::string& method, std::size_t count, std::chrono::milliseconds timeout) const;
    // Waits for a notify_gcode_response whose text equals `text`.
    bool wait_gcode_response(const std::string& text, std::chrono::milliseconds timeout) const;

    bool is_open() const;
    bool wait_closed(std::chrono::milliseconds timeout) const;
    // Close frame received from the server (code 1006 when the connection
    // ended without one).
    std::uint16_t close_code() const;
    std::string close_reason() const;
    int http_status() const;            // of the handshake response
    std::string server_header() const;  // "Server" of the handshake response
    int pongs() const;
    bool wait_pongs(int count, std::chrono::milliseconds timeout) const;

private:
    using Client = websocketpp::client<websocketpp::config::asio_client>;

    template <typename Pred>
    bool wait_state(Pred&& pred, std::chrono::milliseconds timeout) const;

    Client client_;
    std::thread thread_;
    websocketpp::connection_hdl hdl_;  // set in connect(), before the io thread uses it

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;  // notified under no lock after every change below
    std::vector<Frame> frames_;                // guarded by mutex_
    bool open_ = false;                        // guarded by mutex_
    bool failed_ = false;                      // guarded by mutex_
    bool closed_ = false;                      // guarded by mutex_
    std::uint16_t close_code_ = 0;             // guarded by mutex_
    std::string close_reason_;                 // guarded by mutex_
    int http_status_ = 0;                      // guarded by mutex_
    std::string server_header_;                // guarded by mutex_
    int pongs_ = 0;                            // guarded by mutex_
};

// The JSON of each frame, for quick checks.
std::vector<nlohmann::json> jsons(const std::vector<Frame>& frames);

}  // namespace sim_test
