// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
//
// The library as a host sees it: loaded with dlopen, every export looked up
// by its plain name.

#include <fstream>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "elf_symbols.h"
#include "host_library.h"

namespace {

using test_host::HostLibrary;

// The 107 functions a host binds, and nothing else.
const std::set<std::string> kExports = {
    "pemra_delete_file_fn",
    "pemra_get_file_list_fn",
    "pemra_get_file_meta_fn",
    "pemra_get_print_history_fn",
    "pemra_network_add_subscribe",
    "pemra_network_bind",
    "pemra_network_build_login_cmd",
    "pemra_network_build_login_info",
    "pemra_network_build_logout_cmd",
    "pemra_network_change_user",
    "pemra_network_check_debug_consistent",
    "pemra_network_check_user_task_report",
    "pemra_network_connect_printer",
    "pemra_network_connect_server",
    "pemra_network_create_agent",
    "pemra_network_del_subscribe",
    "pemra_network_delete_setting",
    "pemra_network_destroy_agent",
    "pemra_network_disconnect_printer",
    "pemra_network_enable_multi_machine",
    "pemra_network_get_camera_url",
    "pemra_network_get_design_staffpick",
    "pemra_network_get_model_id_from_desgin_id",
    "pemra_network_get_model_mall_detail_url",
    "pemra_network_get_model_mall_home_url",
    "pemra_network_get_model_mall_rating_result",
    "pemra_network_get_model_publish_url",
    "pemra_network_get_mw_user_4ulist",
    "pemra_network_get_mw_user_preference",
    "pemra_network_get_my_message",
    "pemra_network_get_my_profile",
    "pemra_network_get_oss_config",
    "pemra_network_get_printer_firmware",
    "pemra_network_get_setting_list",
    "pemra_network_get_setting_list2",
    "pemra_network_get_slice_info",
    "pemra_network_get_studio_info_url",
    "pemra_network_get_subtask_info",
    "pemra_network_get_task_plate_index",
    "pemra_network_get_user_avatar",
    "pemra_network_get_user_id",
    "pemra_network_get_user_info",
    "pemra_network_get_user_name",
    "pemra_network_get_user_nickanme",
    "pemra_network_get_user_presets",
    "pemra_network_get_user_print_info",
    "pemra_network_get_user_selected_machine",
    "pemra_network_get_user_tasks",
    "pemra_network_get_version",
    "pemra_network_init_log",
    "pemra_network_is_server_connected",
    "pemra_network_is_user_login",
    "pemra_network_modify_printer_name",
    "pemra_network_ping_bind",
    "pemra_network_put_model_mall_rating_url",
    "pemra_network_put_rating_picture_oss",
    "pemra_network_put_setting",
    "pemra_network_query_bind_status",
    "pemra_network_refresh_connection",
    "pemra_network_request_bind_ticket",
    "pemra_network_request_setting_id",
    "pemra_network_send_message",
    "pemra_network_send_message_to_printer",
    "pemra_network_set_cert_file",
    "pemra_network_set_config_dir",
    "pemra_network_set_country_code",
    "pemra_network_set_extra_http_header",
    "pemra_network_set_get_country_code_fn",
    "pemra_network_set_on_http_error_fn",
    "pemra_network_set_on_local_connect_fn",
    "pemra_network_set_on_local_message_fn",
    "pemra_network_set_on_message_fn",
    "pemra_network_set_on_printer_connected_fn",
    "pemra_network_set_on_server_connected_fn",
    "pemra_network_set_on_ssdp_msg_fn",
    "pemra_network_set_on_subscribe_failure_fn",
    "pemra_network_set_on_user_login_fn",
    "pemra_network_set_on_user_message_fn",
    "pemra_network_set_queue_on_main_fn",
    "pemra_network_set_user_selected_machine",
    "pemra_network_start",
    "pemra_network_start_device_subscribe",
    "pemra_network_start_discovery",
    "pemra_network_start_local_print",
    "pemra_network_start_local_print_with_record",
    "pemra_network_start_print",
    "pemra_network_start_pubilsh",
    "pemra_network_start_sdcard_print",
    "pemra_network_start_send_gcode_to_sdcard",
    "pemra_network_start_subscribe",
    "pemra_network_stop_device_subscribe",
    "pemra_network_stop_subscribe",
    "pemra_network_track_enable",
    "pemra_network_track_event",
    "pemra_network_track_get_property",
    "pemra_network_track_header",
    "pemra_network_track_remove_files",
    "pemra_network_track_update_property",
    "pemra_network_unbind",
    "pemra_network_user_logout",
    "pemra_set_error_arrived_fn",
    "pemra_set_file_changed_fn",
    "pemra_set_file_list_arrived_fn",
    "pemra_set_file_meta_arrived_fn",
    "pemra_set_history_changed_fn",
    "pemra_set_machine_status_changed_fn",
    "pemra_set_print_history_arrived_fn",};

TEST(ExportTable, DynamicSymbolsAreExactlyTheExports) {
    const auto defined = test_host::defined_dynamic_symbols(PEMRA_NETWORK_LIBRARY);
    EXPECT_EQ(kExports.size(), 107u);
    for (const auto& name : defined) EXPECT_TRUE(kExports.count(name)) << "extra symbol: " << name;
    for (const auto& name : kExports) EXPECT_TRUE(defined.count(name)) << "missing export: " << name;
}

TEST(ExportTable, LinkerMapComesFromTheSameNames) {
    std::ifstream list(PEMRA_NETWORK_EXPORT_LIST);
    std::set<std::string> generated;
    for (std::string line; std::getline(list, line);) {
        if (!line.empty()) generated.insert(line);
    }
    EXPECT_EQ(generated, kExports);
}

TEST(ExportTable, EveryExportResolvesByName) {
    HostLibrary lib;
    for (const auto& name : kExports) EXPECT_NO_THROW(lib.fn<void()>(name.c_str())) << name;
}

TEST(Exports, VersionIsOneLibraryOwnedText) {
    HostLibrary lib;
    const char* first = HOST_FN(lib, pemra_network_get_version)();
    EXPECT_STREQ(first, "01.09.03.50");
    EXPECT_EQ(HOST_FN(lib, pemra_network_get_version)(), first);
}

std::string text() { return std::string(40, 's'); }  // long enough to own heap memory

int g_placeholder_calls = 0;
UnusedCallable never_called() {
    return [] { ++g_placeholder_calls; };
}

PrintJobRecord job() {
    PrintJobRecord record;
    record.text_01 = text();
    record.text_22 = text();
    record.value_4 = 9;
    return record;
}

// A null handle is accepted everywhere: fixed results, no effect, arguments
// released (the sanitizer builds see any leak or double free).
TEST(Exports, EveryExportAcceptsANullHandle) {
    HostLibrary lib;
    int calls = 0;
    EXPECT_EQ(HOST_FN(lib, pemra_network_destroy_agent)(nullptr), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_network_start)(nullptr), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_network_connect_printer)(nullptr, text(), text(), text(), text()), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_network_disconnect_printer)(nullptr, text()), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_network_send_message_to_printer)(nullptr, text(), text()), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_get_file_list_fn)(nullptr, text()), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_get_file_meta_fn)(nullptr, text(), text()), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_delete_file_fn)(nullptr, text(), text()), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_get_print_history_fn)(nullptr, text(), 7, 7, text()), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_network_track_enable)(nullptr, true), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_set_machine_status_changed_fn)(nullptr, [&](std::string, MachineStatus) { ++calls; }), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_set_file_list_arrived_fn)(nullptr, [&](std::string, std::string) { ++calls; }), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_set_file_meta_arrived_fn)(nullptr, [&](std::string, std::string) { ++calls; }), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_set_print_history_arrived_fn)(nullptr, [&](std::string, std::string) { ++calls; }), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_set_error_arrived_fn)(nullptr, [&](std::string, std::string) { ++calls; }), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_set_file_changed_fn)(nullptr, [&](std::string, std::string) { ++calls; }), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_set_history_changed_fn)(nullptr, [&](std::string, std::string) { ++calls; }), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_network_check_user_task_report)(nullptr), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_network_connect_server)(nullptr), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_network_get_model_id_from_desgin_id)(nullptr), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_network_get_model_mall_home_url)(nullptr), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_network_get_model_mall_rating_result)(nullptr), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_network_get_model_publish_url)(nullptr), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_network_get_my_message)(nullptr), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_network_get_user_info)(nullptr), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_network_get_user_presets)(nullptr), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_network_get_user_print_info)(nullptr), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_network_init_log)(nullptr), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_network_refresh_connection)(nullptr), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_network_request_bind_ticket)(nullptr), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_network_start_device_subscribe)(nullptr), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_network_stop_device_subscribe)(nullptr), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_network_track_remove_files)(nullptr), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_network_user_logout)(nullptr), 0);
    HOST_FN(lib, pemra_network_enable_multi_machine)(nullptr);
    EXPECT_FALSE(HOST_FN(lib, pemra_network_is_server_connected)(nullptr));
    EXPECT_FALSE(HOST_FN(lib, pemra_network_is_user_login)(nullptr));
    EXPECT_FALSE(HOST_FN(lib, pemra_network_start_discovery)(nullptr));
    EXPECT_TRUE(HOST_FN(lib, pemra_network_check_debug_consistent)(nullptr));
    EXPECT_STREQ(HOST_FN(lib, pemra_network_build_login_cmd)(nullptr), "");
    EXPECT_EQ(HOST_FN(lib, pemra_network_build_login_cmd)(nullptr), HOST_FN(lib, pemra_network_build_login_cmd)(nullptr));
    EXPECT_STREQ(HOST_FN(lib, pemra_network_build_login_info)(nullptr), "");
    EXPECT_EQ(HOST_FN(lib, pemra_network_build_login_info)(nullptr), HOST_FN(lib, pemra_network_build_login_info)(nullptr));
    EXPECT_STREQ(HOST_FN(lib, pemra_network_build_logout_cmd)(nullptr), "");
    EXPECT_EQ(HOST_FN(lib, pemra_network_build_logout_cmd)(nullptr), HOST_FN(lib, pemra_network_build_logout_cmd)(nullptr));
    EXPECT_STREQ(HOST_FN(lib, pemra_network_get_user_avatar)(nullptr), "");
    EXPECT_EQ(HOST_FN(lib, pemra_network_get_user_avatar)(nullptr), HOST_FN(lib, pemra_network_get_user_avatar)(nullptr));
    EXPECT_STREQ(HOST_FN(lib, pemra_network_get_user_id)(nullptr), "");
    EXPECT_EQ(HOST_FN(lib, pemra_network_get_user_id)(nullptr), HOST_FN(lib, pemra_network_get_user_id)(nullptr));
    EXPECT_STREQ(HOST_FN(lib, pemra_network_get_user_name)(nullptr), "");
    EXPECT_EQ(HOST_FN(lib, pemra_network_get_user_name)(nullptr), HOST_FN(lib, pemra_network_get_user_name)(nullptr));
    EXPECT_STREQ(HOST_FN(lib, pemra_network_get_user_nickanme)(nullptr), "");
    EXPECT_EQ(HOST_FN(lib, pemra_network_get_user_nickanme)(nullptr), HOST_FN(lib, pemra_network_get_user_nickanme)(nullptr));
    EXPECT_STREQ(HOST_FN(lib, pemra_network_get_studio_info_url)(nullptr), "");
    EXPECT_EQ(HOST_FN(lib, pemra_network_get_studio_info_url)(nullptr), HOST_FN(lib, pemra_network_get_studio_info_url)(nullptr));
    EXPECT_STREQ(HOST_FN(lib, pemra_network_get_user_selected_machine)(nullptr), "");
    EXPECT_EQ(HOST_FN(lib, pemra_network_get_user_selected_machine)(nullptr), HOST_FN(lib, pemra_network_get_user_selected_machine)(nullptr));
    EXPECT_STREQ(HOST_FN(lib, pemra_network_request_setting_id)(nullptr, text()), "");
    EXPECT_EQ(HOST_FN(lib, pemra_network_request_setting_id)(nullptr, text()), HOST_FN(lib, pemra_network_request_setting_id)(nullptr, text()));
    EXPECT_EQ(HOST_FN(lib, pemra_network_add_subscribe)(nullptr, {text()}), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_network_del_subscribe)(nullptr, {text()}), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_network_query_bind_status)(nullptr, {text()}), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_network_change_user)(nullptr, text()), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_network_delete_setting)(nullptr, text()), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_network_get_my_profile)(nullptr, text()), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_network_get_printer_firmware)(nullptr, text()), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_network_get_subtask_info)(nullptr, text()), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_network_get_task_plate_index)(nullptr, text()), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_network_get_user_tasks)(nullptr, text()), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_network_ping_bind)(nullptr, text()), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_network_set_config_dir)(nullptr, text()), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_network_set_country_code)(nullptr, text()), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_network_set_user_selected_machine)(nullptr, text()), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_network_start_subscribe)(nullptr, text()), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_network_stop_subscribe)(nullptr, text()), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_network_track_header)(nullptr, text()), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_network_unbind)(nullptr, text()), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_network_get_slice_info)(nullptr, text(), text(), 7), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_network_modify_printer_name)(nullptr, text(), text(), 7), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_network_put_setting)(nullptr, text(), text(), 7), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_network_send_message)(nullptr, text(), text(), 7), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_network_set_cert_file)(nullptr, text(), text(), 7), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_network_track_event)(nullptr, text(), text(), 7), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_network_track_update_property)(nullptr, text(), text(), text()), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_network_track_get_property)(nullptr, text(), 7, text()), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_network_bind)(nullptr, text(), text(), text(), text(), 7, never_called()), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_network_get_camera_url)(nullptr, text(), never_called()), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_network_get_setting_list)(nullptr, text(), never_called(), never_called()), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_network_get_setting_list2)(nullptr, text(), never_called(), never_called(), never_called()), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_network_get_model_mall_detail_url)(nullptr, 7, text()), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_network_get_oss_config)(nullptr, 7, text()), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_network_get_design_staffpick)(nullptr, 7, 7, never_called()), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_network_get_mw_user_4ulist)(nullptr, 7, 7, never_called()), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_network_put_rating_picture_oss)(nullptr, 7, 7, text()), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_network_put_model_mall_rating_url)(nullptr, 7, 7, text(), {text()}), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_network_get_mw_user_preference)(nullptr, never_called()), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_network_set_get_country_code_fn)(nullptr, never_called()), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_network_set_on_http_error_fn)(nullptr, never_called()), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_network_set_on_local_connect_fn)(nullptr, never_called()), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_network_set_on_local_message_fn)(nullptr, never_called()), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_network_set_on_message_fn)(nullptr, never_called()), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_network_set_on_printer_connected_fn)(nullptr, never_called()), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_network_set_on_server_connected_fn)(nullptr, never_called()), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_network_set_on_ssdp_msg_fn)(nullptr, never_called()), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_network_set_on_subscribe_failure_fn)(nullptr, never_called()), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_network_set_on_user_login_fn)(nullptr, never_called()), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_network_set_on_user_message_fn)(nullptr, never_called()), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_network_set_queue_on_main_fn)(nullptr, never_called()), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_network_set_extra_http_header)(nullptr, {{"k", text()}}), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_network_start_local_print)(nullptr, job(), never_called(), never_called()), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_network_start_sdcard_print)(nullptr, job(), never_called(), never_called()), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_network_start_local_print_with_record)(nullptr, job(), never_called(), never_called(), never_called()), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_network_start_print)(nullptr, job(), never_called(), never_called(), never_called()), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_network_start_send_gcode_to_sdcard)(nullptr, job(), never_called(), never_called(), never_called()), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_network_start_pubilsh)(nullptr, PublishRecord{text(), text(), text(), text(), text(), text()}, never_called(), never_called()), 0);
    EXPECT_EQ(calls, 0) << "no callback registered or fired";
    EXPECT_EQ(g_placeholder_calls, 0) << "placeholders never call what they receive";
}

TEST(Exports, PlaceholdersIgnoreARealAgentToo) {
    HostLibrary lib;
    void* agent = HOST_FN(lib, pemra_network_create_agent)(::testing::TempDir(), 0);
    ASSERT_NE(agent, nullptr);
    EXPECT_EQ(HOST_FN(lib, pemra_network_get_camera_url)(agent, text(), never_called()), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_network_start_print)(agent, job(), never_called(), never_called(), never_called()), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_network_set_on_message_fn)(agent, never_called()), 0);
    EXPECT_TRUE(HOST_FN(lib, pemra_network_check_debug_consistent)(agent));
    EXPECT_STREQ(HOST_FN(lib, pemra_network_get_user_id)(agent), "");
    EXPECT_EQ(g_placeholder_calls, 0);
    EXPECT_EQ(HOST_FN(lib, pemra_network_destroy_agent)(agent), 0);
}

TEST(Exports, AgentLifecycleWithoutPrinters) {
    HostLibrary lib;
    void* never_started = HOST_FN(lib, pemra_network_create_agent)(::testing::TempDir(), 4);
    ASSERT_NE(never_started, nullptr);
    EXPECT_EQ(HOST_FN(lib, pemra_get_file_list_fn)(never_started, "p"), 0) << "queued before start";
    EXPECT_EQ(HOST_FN(lib, pemra_network_connect_printer)(never_started, "p", "127.0.0.1:1", "", ""), 0)
        << "refused before start, without a crash";
    EXPECT_EQ(HOST_FN(lib, pemra_network_destroy_agent)(never_started), 0) << "destroying an unstarted agent";

    void* agent = HOST_FN(lib, pemra_network_create_agent)(::testing::TempDir(), 4);
    EXPECT_EQ(HOST_FN(lib, pemra_network_start)(agent), 0);
    EXPECT_ANY_THROW(HOST_FN(lib, pemra_network_start)(agent)) << "a second start raises to the caller";
    EXPECT_EQ(HOST_FN(lib, pemra_network_track_enable)(agent, false), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_network_disconnect_printer)(agent, "unknown"), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_network_destroy_agent)(agent), 0);
}

}  // namespace
