// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "bare_transport.h"

#include <pthread.h>

#include <atomic>
#include <string_view>
#include <thread>

#include <simdjson.h>
#include <websocketpp/client.hpp>
#include <websocketpp/config/asio_no_tls_client.hpp>

namespace farm {
namespace {

using Client = websocketpp::client<websocketpp::config::asio_client>;

constexpr std::string_view kObjectsList = R"({"jsonrpc":"2.0","method":"printer.objects.list","params":{},"id":1})";

}  // namespace

struct BareTransport::State {
    StatusFn on_status;
    Client client;
    std::thread thread;
    simdjson::dom::parser parser;
    std::atomic<int> subscribed{0};
    std::atomic<std::uint64_t> frames{0};
    std::atomic<std::uint64_t> status_frames{0};
    MachineStatus status;

    void on_message(const std::string& device_id, websocketpp::connection_hdl hdl, Client::message_ptr message) {
        frames.fetch_add(1, std::memory_order_relaxed);
        simdjson::dom::element doc;
        if (parser.parse(message->get_payload()).get(doc)) return;
        std::string_view method;
        if (!doc["method"].get(method)) {
            if (method != "notify_status_update") return;
            status_frames.fetch_add(1, std::memory_order_relaxed);
            simdjson::dom::array params;
            if (doc["params"].get(params)) return;
            for (simdjson::dom::element element : params) {
                if (element.is_object()) status.heartbeat = 2;
                on_status(device_id, status);
            }
            return;
        }
        std::int64_t id = 0;
        if (doc["id"].get(id)) return;
        if (id == 1) subscribe(hdl, doc);
        if (id == 2) subscribed.fetch_add(1, std::memory_order_relaxed);
    }

    void subscribe(websocketpp::connection_hdl hdl, simdjson::dom::element reply) {
        simdjson::dom::array names;
        if (reply["result"]["objects"].get(names)) return;
        std::string request = R"({"jsonrpc":"2.0","method":"printer.objects.subscribe","params":{"objects":{)";
        bool first = true;
        for (simdjson::dom::element name : names) {
            std::string_view text;
            if (name.get(text)) continue;
            if (!first) request += ',';
            first = false;
            request.append("\"").append(text).append("\":null");
        }
        request += R"(}},"id":2})";
        std::error_code ignored;
        client.send(hdl, request, websocketpp::frame::opcode::text, ignored);
    }
};

BareTransport::BareTransport(StatusFn on_status, std::chrono::microseconds pause) : state_(std::make_unique<State>()) {
    state_->on_status = std::move(on_status);
    state_->client.clear_access_channels(websocketpp::log::alevel::all);
    state_->client.clear_error_channels(websocketpp::log::elevel::all);
    state_->client.init_asio();
    state_->client.start_perpetual();
    state_->thread = std::thread([this, pause] {
        pthread_setname_np(pthread_self(), kThreadName);
        auto& io = state_->client.get_io_service();
        while (io.run_one() > 0) {
            if (1 + io.poll() >= kBusyHandlers && pause.count() > 0) std::this_thread::sleep_for(pause);
        }
    });
}

BareTransport::~BareTransport() {
    state_->client.stop_perpetual();
    state_->client.stop();
    state_->thread.join();
}

void BareTransport::connect(const std::vector<std::string>& addresses) {
    for (std::size_t i = 0; i < addresses.size(); ++i) {
        const std::string device_id = "bare-" + std::to_string(i);
        std::error_code ec;
        auto connection = state_->client.get_connection("ws://" + addresses[i] + "/websocket", ec);
        if (ec) continue;
        State* state = state_.get();
        connection->set_open_handler([state](websocketpp::connection_hdl hdl) {
            std::error_code ignored;
            state->client.send(hdl, std::string(kObjectsList), websocketpp::frame::opcode::text, ignored);
        });
        connection->set_message_handler([state, device_id](websocketpp::connection_hdl hdl, Client::message_ptr m) {
            state->on_message(device_id, hdl, m);
        });
        state_->client.connect(connection);
    }
}

int BareTransport::subscribed() const { return state_->subscribed.load(); }
std::uint64_t BareTransport::frames() const { return state_->frames.load(); }
std::uint64_t BareTransport::status_frames() const { return state_->status_frames.load(); }

}  // namespace farm
