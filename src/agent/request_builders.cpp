// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "agent/printer_manager.h"
#include "base/log.h"
#include "protocol/requests.h"

namespace pemra {

void PrinterManager::request_objects_list(const std::string& device_id) {
    send(device_id, protocol::requests::kObjectsList, std::string(protocol::requests::kObjectsListText), true);
}

void PrinterManager::request_objects_subscribe(const std::string& device_id, const std::string& objects_param) {
    send(device_id, protocol::requests::kObjectsSubscribe, protocol::requests::objects_subscribe(objects_param), true);
}

void PrinterManager::request_printer_info(const std::string& device_id) {
    send(device_id, protocol::requests::kPrinterInfo, std::string(protocol::requests::kPrinterInfoText), true);
}

void PrinterManager::request_file_list(const std::string& device_id, const std::string& path) {
    send(device_id, protocol::requests::kFileList, protocol::requests::file_list(path), true);
}

void PrinterManager::request_file_metadata(const std::string& device_id, const std::string& file_name) {
    send(device_id, protocol::requests::kFileMetadata, protocol::requests::file_metadata(file_name), true);
}

void PrinterManager::request_last_history(const std::string& device_id) {
    send(device_id, protocol::requests::kLastHistory, std::string(protocol::requests::kLastHistoryText), true);
}

void PrinterManager::request_history(const std::string& device_id, std::int32_t start, std::int32_t limit,
                                     const std::string& order) {
    send(device_id, protocol::requests::kHistoryPage, protocol::requests::history_page(start, limit, order), true);
}

void PrinterManager::request_delete_file(const std::string& device_id, const std::string& file_name) {
    if (file_name.empty()) {
        // "gcodes/" would name the whole G-code folder.
        log::error("delete request for ", device_id, " not sent: empty file name");
        return;
    }
    send(device_id, protocol::requests::kDeleteFile, protocol::requests::delete_file(file_name), false);
}

}  // namespace pemra
