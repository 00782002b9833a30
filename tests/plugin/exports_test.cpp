// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
//
// The library as a host sees it: loaded with dlopen, every export looked up
// by its plain name.

#include <fstream>
#include <type_traits>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "elf_symbols.h"
#include "host_library.h"
#include "testkit/scratch_dir.h"

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

// A host may run on any Linux with a C++ runtime: the library needs that
// and the C runtime, nothing else (Boost and simdjson are inside it).
TEST(ExportTable, NeedsOnlyTheCAndCxxRuntimes) {
#if !PEMRA_STATIC_DEPS
    GTEST_SKIP() << "configured to link Boost and simdjson as shared libraries";
#endif
    const std::set<std::string> runtimes = {"libc.so.6", "libm.so.6", "libgcc_s.so.1", "libstdc++.so.6",
                                            "ld-linux-x86-64.so.2"};
    const auto needed = test_host::ElfFile(PEMRA_NETWORK_LIBRARY).needed();
    EXPECT_TRUE(needed.count("libstdc++.so.6")) << "the C++ runtime stays shared with the host";
    for (const auto& name : needed) {
        const bool sanitizer_runtime = PEMRA_SANITIZED && (name.rfind("libtsan", 0) == 0 || name.rfind("libasan", 0) == 0 ||
                                                           name.rfind("libubsan", 0) == 0);
        EXPECT_TRUE(runtimes.count(name) || sanitizer_runtime) << "needs " << name;
    }
}

// Were one of them imported, the first definition in the process would be
// bound, the host's own copy included.
TEST(ExportTable, ImportsNothingOfTheLibrariesItCarries) {
#if !PEMRA_STATIC_DEPS
    GTEST_SKIP() << "configured to link Boost and simdjson as shared libraries";
#endif
    const auto imported = test_host::ElfFile(PEMRA_NETWORK_LIBRARY).dynamic_symbols(false);
    EXPECT_FALSE(imported.empty()) << "the runtimes' functions are imported";
    for (const auto& name : imported) {
        EXPECT_EQ(name.find("boost"), std::string::npos) << "imports " << name;
        EXPECT_EQ(name.find("simdjson"), std::string::npos) << "imports " << name;
    }
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

// The agent's own exports take a null handle as a host mistake: result 0,
// no effect, arguments released (the sanitizer builds see a leak or a
// double free), and no callback registered or fired.
TEST(Exports, TheAgentsExportsAcceptANullHandle) {
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
    EXPECT_EQ(calls, 0);
}

// A placeholder export, called through the loaded library with the handle a
// test gives; what it returned, as text ("void" for nothing).
struct Placeholder {
    const char* name;
    std::string (*call)(const HostLibrary& lib, void* agent);
    std::string result;
};

std::string shown(int value) { return std::to_string(value); }
std::string shown(bool value) { return value ? "true" : "false"; }
std::string shown(const char* value) { return value ? "\"" + std::string(value) + "\"" : "null"; }

template <typename Call>
std::string shown_call(Call call) {
    if constexpr (std::is_void_v<decltype(call())>) {
        call();
        return "void";
    } else {
        return shown(call());
    }
}

#define PLACEHOLDER(result, name, args)                                                                   \
    Placeholder {                                                                                         \
        #name, [](const HostLibrary& lib, void* agent) { return shown_call([&] { return HOST_FN(lib, name) args; }); }, \
            result                                                                                        \
    }

// Every feature the plug-in does not offer, with the fixed result the host
// gets from it whatever it passes.
const Placeholder kPlaceholders[] = {
    PLACEHOLDER("0", pemra_network_check_user_task_report, (agent)),
    PLACEHOLDER("0", pemra_network_connect_server, (agent)),
    PLACEHOLDER("0", pemra_network_get_model_id_from_desgin_id, (agent)),
    PLACEHOLDER("0", pemra_network_get_model_mall_home_url, (agent)),
    PLACEHOLDER("0", pemra_network_get_model_mall_rating_result, (agent)),
    PLACEHOLDER("0", pemra_network_get_model_publish_url, (agent)),
    PLACEHOLDER("0", pemra_network_get_my_message, (agent)),
    PLACEHOLDER("0", pemra_network_get_user_info, (agent)),
    PLACEHOLDER("0", pemra_network_get_user_presets, (agent)),
    PLACEHOLDER("0", pemra_network_get_user_print_info, (agent)),
    PLACEHOLDER("0", pemra_network_init_log, (agent)),
    PLACEHOLDER("0", pemra_network_refresh_connection, (agent)),
    PLACEHOLDER("0", pemra_network_request_bind_ticket, (agent)),
    PLACEHOLDER("0", pemra_network_start_device_subscribe, (agent)),
    PLACEHOLDER("0", pemra_network_stop_device_subscribe, (agent)),
    PLACEHOLDER("0", pemra_network_track_remove_files, (agent)),
    PLACEHOLDER("0", pemra_network_user_logout, (agent)),
    PLACEHOLDER("void", pemra_network_enable_multi_machine, (agent)),
    PLACEHOLDER("false", pemra_network_is_server_connected, (agent)),
    PLACEHOLDER("false", pemra_network_is_user_login, (agent)),
    PLACEHOLDER("false", pemra_network_start_discovery, (agent)),
    PLACEHOLDER("true", pemra_network_check_debug_consistent, (agent)),
    PLACEHOLDER("\"\"", pemra_network_build_login_cmd, (agent)),
    PLACEHOLDER("\"\"", pemra_network_build_login_info, (agent)),
    PLACEHOLDER("\"\"", pemra_network_build_logout_cmd, (agent)),
    PLACEHOLDER("\"\"", pemra_network_get_user_avatar, (agent)),
    PLACEHOLDER("\"\"", pemra_network_get_user_id, (agent)),
    PLACEHOLDER("\"\"", pemra_network_get_user_name, (agent)),
    PLACEHOLDER("\"\"", pemra_network_get_user_nickanme, (agent)),
    PLACEHOLDER("\"\"", pemra_network_get_studio_info_url, (agent)),
    PLACEHOLDER("\"\"", pemra_network_get_user_selected_machine, (agent)),
    PLACEHOLDER("\"\"", pemra_network_request_setting_id, (agent, text())),
    PLACEHOLDER("0", pemra_network_add_subscribe, (agent, {text()})),
    PLACEHOLDER("0", pemra_network_del_subscribe, (agent, {text()})),
    PLACEHOLDER("0", pemra_network_query_bind_status, (agent, {text()})),
    PLACEHOLDER("0", pemra_network_change_user, (agent, text())),
    PLACEHOLDER("0", pemra_network_delete_setting, (agent, text())),
    PLACEHOLDER("0", pemra_network_get_my_profile, (agent, text())),
    PLACEHOLDER("0", pemra_network_get_printer_firmware, (agent, text())),
    PLACEHOLDER("0", pemra_network_get_subtask_info, (agent, text())),
    PLACEHOLDER("0", pemra_network_get_task_plate_index, (agent, text())),
    PLACEHOLDER("0", pemra_network_get_user_tasks, (agent, text())),
    PLACEHOLDER("0", pemra_network_ping_bind, (agent, text())),
    PLACEHOLDER("0", pemra_network_set_config_dir, (agent, text())),
    PLACEHOLDER("0", pemra_network_set_country_code, (agent, text())),
    PLACEHOLDER("0", pemra_network_set_user_selected_machine, (agent, text())),
    PLACEHOLDER("0", pemra_network_start_subscribe, (agent, text())),
    PLACEHOLDER("0", pemra_network_stop_subscribe, (agent, text())),
    PLACEHOLDER("0", pemra_network_track_header, (agent, text())),
    PLACEHOLDER("0", pemra_network_unbind, (agent, text())),
    PLACEHOLDER("0", pemra_network_get_slice_info, (agent, text(), text(), 7)),
    PLACEHOLDER("0", pemra_network_modify_printer_name, (agent, text(), text(), 7)),
    PLACEHOLDER("0", pemra_network_put_setting, (agent, text(), text(), 7)),
    PLACEHOLDER("0", pemra_network_send_message, (agent, text(), text(), 7)),
    PLACEHOLDER("0", pemra_network_set_cert_file, (agent, text(), text(), 7)),
    PLACEHOLDER("0", pemra_network_track_event, (agent, text(), text(), 7)),
    PLACEHOLDER("0", pemra_network_track_update_property, (agent, text(), text(), text())),
    PLACEHOLDER("0", pemra_network_track_get_property, (agent, text(), 7, text())),
    PLACEHOLDER("0", pemra_network_bind, (agent, text(), text(), text(), text(), 7, never_called())),
    PLACEHOLDER("0", pemra_network_get_camera_url, (agent, text(), never_called())),
    PLACEHOLDER("0", pemra_network_get_setting_list, (agent, text(), never_called(), never_called())),
    PLACEHOLDER("0", pemra_network_get_setting_list2, (agent, text(), never_called(), never_called(), never_called())),
    PLACEHOLDER("0", pemra_network_get_model_mall_detail_url, (agent, 7, text())),
    PLACEHOLDER("0", pemra_network_get_oss_config, (agent, 7, text())),
    PLACEHOLDER("0", pemra_network_get_design_staffpick, (agent, 7, 7, never_called())),
    PLACEHOLDER("0", pemra_network_get_mw_user_4ulist, (agent, 7, 7, never_called())),
    PLACEHOLDER("0", pemra_network_put_rating_picture_oss, (agent, 7, 7, text())),
    PLACEHOLDER("0", pemra_network_put_model_mall_rating_url, (agent, 7, 7, text(), {text()})),
    PLACEHOLDER("0", pemra_network_get_mw_user_preference, (agent, never_called())),
    PLACEHOLDER("0", pemra_network_set_get_country_code_fn, (agent, never_called())),
    PLACEHOLDER("0", pemra_network_set_on_http_error_fn, (agent, never_called())),
    PLACEHOLDER("0", pemra_network_set_on_local_connect_fn, (agent, never_called())),
    PLACEHOLDER("0", pemra_network_set_on_local_message_fn, (agent, never_called())),
    PLACEHOLDER("0", pemra_network_set_on_message_fn, (agent, never_called())),
    PLACEHOLDER("0", pemra_network_set_on_printer_connected_fn, (agent, never_called())),
    PLACEHOLDER("0", pemra_network_set_on_server_connected_fn, (agent, never_called())),
    PLACEHOLDER("0", pemra_network_set_on_ssdp_msg_fn, (agent, never_called())),
    PLACEHOLDER("0", pemra_network_set_on_subscribe_failure_fn, (agent, never_called())),
    PLACEHOLDER("0", pemra_network_set_on_user_login_fn, (agent, never_called())),
    PLACEHOLDER("0", pemra_network_set_on_user_message_fn, (agent, never_called())),
    PLACEHOLDER("0", pemra_network_set_queue_on_main_fn, (agent, never_called())),
    PLACEHOLDER("0", pemra_network_set_extra_http_header, (agent, {{"k", text()}})),
    PLACEHOLDER("0", pemra_network_start_local_print, (agent, job(), never_called(), never_called())),
    PLACEHOLDER("0", pemra_network_start_sdcard_print, (agent, job(), never_called(), never_called())),
    PLACEHOLDER("0", pemra_network_start_local_print_with_record, (agent, job(), never_called(), never_called(), never_called())),
    PLACEHOLDER("0", pemra_network_start_print, (agent, job(), never_called(), never_called(), never_called())),
    PLACEHOLDER("0", pemra_network_start_send_gcode_to_sdcard, (agent, job(), never_called(), never_called(), never_called())),
    PLACEHOLDER("0", pemra_network_start_pubilsh, (agent, PublishRecord{text(), text(), text(), text(), text(), text()}, never_called(), never_called())),
};

// The exports that are no placeholders: an agent's life, its printers and
// the host's callbacks.
const std::set<std::string> kAgentExports = {
    "pemra_network_destroy_agent",
    "pemra_network_start",
    "pemra_network_connect_printer",
    "pemra_network_disconnect_printer",
    "pemra_network_send_message_to_printer",
    "pemra_get_file_list_fn",
    "pemra_get_file_meta_fn",
    "pemra_delete_file_fn",
    "pemra_get_print_history_fn",
    "pemra_network_track_enable",
    "pemra_set_machine_status_changed_fn",
    "pemra_set_file_list_arrived_fn",
    "pemra_set_file_meta_arrived_fn",
    "pemra_set_print_history_arrived_fn",
    "pemra_set_error_arrived_fn",
    "pemra_set_file_changed_fn",
    "pemra_set_history_changed_fn",
    "pemra_network_create_agent",
    "pemra_network_get_version",
};

TEST(Placeholders, TheTableNamesEveryExportThatIsNoPartOfTheAgent) {
    std::set<std::string> covered = kAgentExports;
    for (const auto& placeholder : kPlaceholders) {
        EXPECT_TRUE(covered.insert(placeholder.name).second) << "listed twice: " << placeholder.name;
    }
    EXPECT_EQ(covered, kExports);
}

TEST(Placeholders, EachGivesItsFixedResultAndCallsNothingItReceives) {
    HostLibrary lib;
    const testkit::ScratchDir log_dir("placeholders-test");
    void* agent = HOST_FN(lib, pemra_network_create_agent)(log_dir.path(), 0);
    ASSERT_NE(agent, nullptr);
    for (void* handle : {static_cast<void*>(nullptr), agent}) {
        for (const auto& placeholder : kPlaceholders) {
            EXPECT_EQ(placeholder.call(lib, handle), placeholder.result)
                << placeholder.name << (handle ? " with an agent" : " with a null handle");
        }
    }
    EXPECT_EQ(g_placeholder_calls, 0) << "placeholders never call what they receive";
    EXPECT_EQ(HOST_FN(lib, pemra_network_destroy_agent)(agent), 0);
}

TEST(Exports, AgentLifecycleWithoutPrinters) {
    HostLibrary lib;
    const testkit::ScratchDir log_dir("agent-lifecycle-test");
    void* never_started = HOST_FN(lib, pemra_network_create_agent)(log_dir.path(), 4);
    ASSERT_NE(never_started, nullptr);
    EXPECT_EQ(HOST_FN(lib, pemra_get_file_list_fn)(never_started, "p"), 0) << "queued before start";
    EXPECT_EQ(HOST_FN(lib, pemra_network_connect_printer)(never_started, "p", "127.0.0.1:1", "", ""), 0)
        << "refused before start, without a crash";
    EXPECT_EQ(HOST_FN(lib, pemra_network_destroy_agent)(never_started), 0) << "destroying an unstarted agent";

    void* agent = HOST_FN(lib, pemra_network_create_agent)(log_dir.path(), 4);
    EXPECT_EQ(HOST_FN(lib, pemra_network_start)(agent), 0);
    EXPECT_ANY_THROW(HOST_FN(lib, pemra_network_start)(agent)) << "a second start raises to the caller";
    EXPECT_EQ(HOST_FN(lib, pemra_network_track_enable)(agent, false), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_network_disconnect_printer)(agent, "unknown"), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_network_destroy_agent)(agent), 0);
}

}  // namespace
