// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "test_client.h"

namespace sim_test {

TestClient::TestClient() {
    client_.clear_access_channels(websocketpp::log::alevel::all);
    client_.clear_error_channels(websocketpp::log::elevel::all);
    client_.init_asio();
    client_.start_perpetual();
    client_.set_max_message_size(128u << 20);
    client_.set_socket_init_handler([](websocketpp::connection_hdl, boost::asio::ip::tcp::socket& socket) {
        boost::system::error_code ignored;
        socket.set_option(boost::asio::ip::tcp::no_delay(true), ignored);
    });
    client_.set_open_handler([this](websocketpp::connection_hdl hdl) {
        auto con = client_.get_con_from_hdl(hdl);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            open_ = true;
            http_status_ = static_cast<int>(con->get_response_code());
            server_header_ = con->get_response_header("Server");
        }
        changed_.notify_all();
    });
    client_.set_fail_handler([this](websocketpp::connection_hdl hdl) {
        auto con = client_.get_con_from_hdl(hdl);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            failed_ = true;
            closed_ = true;
            http_status_ = static_cast<int>(con->get_response_code());
            close_code_ = 1006;
        }
        changed_.notify_all();
    });
    client_.set_close_handler([this](websocketpp::connection_hdl hdl) {
        auto con = client_.get_con_from_hdl(hdl);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            open_ = false;
            closed_ = true;
            close_code_ = con->get_remote_close_code();
            close_reason_ = con->get_remote_close_reason();
        }
        changed_.notify_all();
    });
    client_.set_pong_handler([this](websocketpp::connection_hdl, std::string) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            ++pongs_;
        }
        changed_.notify_all();
    });
    client_.set_message_handler([this](websocketpp::connection_hdl, Client::message_ptr message) {
        Frame frame;
        frame.at = std::chrono::steady_clock::now();
        frame.binary = message->get_opcode() == websocketpp::frame::opcode::binary;
        frame.text = message->get_payload();
        if (!frame.binary) frame.json = nlohmann::json::parse(frame.text, nullptr, false);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            frames_.push_back(std::move(frame));
        }
        changed_.notify_all();
    });
    // Settles websocketpp's lazily written byte-order static before the
    // client's thread can meet a 64-bit frame length.
    static_cast<void>(websocketpp::lib::net::_htonll(0));
    thread_ = std::thread([this] { client_.run(); });
}

TestClient::~TestClient() {
    client_.stop_perpetual();
    if (is_open()) {
        close(1000, "test over");
        wait_closed(500ms);
    }
    client_.stop();
    thread_.join();
}

bool TestClient::connect(std::uint16_t port, const std::string& path, std::chrono::milliseconds timeout) {
    websocketpp::lib::error_code ec;
    auto con = client_.get_connection("ws://127.0.0.1:" + std::to_string(port) + path, ec);
    if (ec) return false;
    hdl_ = con->get_handle();
    client_.connect(con);
    wait_state([this] { return open_ || failed_; }, timeout);
    std::lock_guard<std::mutex> lock(mutex_);
    return open_;
}

void TestClient::send(const std::string& text) {
    websocketpp::lib::error_code ec;
    client_.send(hdl_, text, websocketpp::frame::opcode::text, ec);
}

void TestClient::send_binary(const std::string& bytes) {
    websocketpp::lib::error_code ec;
    client_.send(hdl_, bytes, websocketpp::frame::opcode::binary, ec);
}

// Ping and close change connection state that the client's thread reads
// without a lock, so they run on that thread. Sends only read it.
void TestClient::ping(const std::string& payload) {
    boost::asio::post(client_.get_io_service(), [this, payload] {
        websocketpp::lib::error_code ec;
        client_.ping(hdl_, payload, ec);
    });
}

void TestClient::close(std::uint16_t code, const std::string& reason) {
    boost::asio::post(client_.get_io_service(), [this, code, reason] {
        websocketpp::lib::error_code ec;
        client_.close(hdl_, code, reason, ec);
    });
}

nlohmann::json TestClient::call(const std::string& method, const nlohmann::json& params, int id,
                                std::chrono::milliseconds timeout) {
    send(nlohmann::json{{"jsonrpc", "2.0"}, {"method", method}, {"params", params}, {"id", id}}.dump());
    return reply(id, timeout);
}

nlohmann::json TestClient::reply(int id, std::chrono::milliseconds timeout) {
    nlohmann::json found(nlohmann::json::value_t::discarded);
    wait(
        [&](const std::vector<Frame>& frames) {
            for (const auto& frame : frames) {
                if (frame.json.is_object() && frame.json.contains("id") && frame.json["id"] == id &&
                    !frame.json.contains("method")) {
                    found = frame.json;
                    return true;
                }
            }
            return false;
        },
        timeout);
    return found;
}

std::vector<Frame> TestClient::frames() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return frames_;
}

void TestClient::clear_frames() {
    std::lock_guard<std::mutex> lock(mutex_);
    frames_.clear();
}

std::vector<Frame> TestClient::notifications(const std::string& method) const {
    std::vector<Frame> out;
    for (auto& frame : frames()) {
        if (frame.json.is_object() && frame.json.value("method", "") == method) out.push_back(frame);
    }
    return out;
}

template <typename Pred>
bool TestClient::wait_state(Pred&& pred, std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, timeout, pred);
}

bool TestClient::wait(const std::function<bool(const std::vector<Frame>&)>& pred,
                      std::chrono::milliseconds timeout) const {
    return wait_state([&] { return pred(frames_); }, timeout);
}

bool TestClient::wait_notifications(const std::string& method, std::size_t count,
                                    std::chrono::milliseconds timeout) const {
    return wait(
        [&](const std::vector<Frame>& frames) {
            std::size_t seen = 0;
            for (const auto& frame : frames) {
                if (frame.json.is_object() && frame.json.value("method", "") == method) ++seen;
            }
            return seen >= count;
        },
        timeout);
}

bool TestClient::wait_gcode_response(const std::string& text, std::chrono::milliseconds timeout) const {
    return wait(
        [&](const std::vector<Frame>& frames) {
            for (const auto& frame : frames) {
                if (frame.json.is_object() && frame.json.value("method", "") == "notify_gcode_response" &&
                    frame.json["params"] == nlohmann::json::array({text})) {
                    return true;
                }
            }
            return false;
        },
        timeout);
}

bool TestClient::is_open() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return open_;
}

bool TestClient::wait_closed(std::chrono::milliseconds timeout) const {
    return wait_state([this] { return closed_; }, timeout);
}

std::uint16_t TestClient::close_code() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return close_code_;
}

std::string TestClient::close_reason() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return close_reason_;
}

int TestClient::http_status() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return http_status_;
}

std::string TestClient::server_header() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return server_header_;
}

int TestClient::pongs() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return pongs_;
}

bool TestClient::wait_pongs(int count, std::chrono::milliseconds timeout) const {
    return wait_state([&] { return pongs_ >= count; }, timeout);
}

std::vector<nlohmann::json> jsons(const std::vector<Frame>& frames) {
    std::vector<nlohmann::json> out;
    for (const auto& frame : frames) out.push_back(frame.json);
    return out;
}

}  // namespace sim_test
