// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// The plug-in's whole surface: 107 functions, looked up by their plain names.
//
// Conventions shared by every export:
// - The first argument is the agent handle returned by
//   pemra_network_create_agent (an untyped pointer). A null handle is accepted
//   everywhere: the export then does nothing and returns its fixed result.
// - Texts, callables, containers and records are passed by value.
// - No export waits for the network; results arrive through the callbacks of
//   callbacks.h. No export reports a failure through its result.
// - Requests issued before pemra_network_start are queued and sent once the
//   agent runs; connecting needs a started agent.
// - The request exports put one message on a queue shared by all printers
//   (1000 messages); when it is full they wait for room, up to 30 s.
// - Texts returned by the library stay valid until it is unloaded.

#include <map>
#include <string>
#include <vector>

#include "pemra_network/callbacks.h"
#include "pemra_network/export.h"
#include "pemra_network/host_records.h"
#include "pemra_network/machine_status.h"

// ---- The agent --------------------------------------------------------------

// Sets up the diagnostic log under log_dir + "/log" (log_level: 0 fatal only,
// 1 errors, 2 warnings, 3 info, 4 debug, anything else everything) and returns
// a new agent, not yet started. Never null: if the log cannot be written, the
// agent works without it.
PEMRA_API void* pemra_network_create_agent(std::string log_dir, int log_level);
// Stops the agent (open printers are closed with code 1001) and frees it.
// Called from one of the agent's own callbacks it logs an error and does
// nothing, since it would have to wait for the thread it runs on.
PEMRA_API int pemra_network_destroy_agent(void* agent);
// Starts the agent's threads. Call once: a second call throws.
PEMRA_API int pemra_network_start(void* agent);

// ---- Printers ---------------------------------------------------------------

// Connects (or reconnects) the printer at "ws://" + address + "/websocket" under
// device_id. The two last texts are not read. Progress and failures arrive
// through the machine-status callback.
PEMRA_API int pemra_network_connect_printer(void* agent, std::string device_id,
                                            std::string address, std::string unused_1,
                                            std::string unused_2);
// Closes the printer's connection (code 1000) and forgets it; the callback
// still reports it once as offline.
PEMRA_API int pemra_network_disconnect_printer(void* agent, std::string device_id);
// Sends the text unchanged to an open printer. Replies are routed by their id
// like the plug-in's own (see the README).
PEMRA_API int pemra_network_send_message_to_printer(void* agent, std::string device_id,
                                                    std::string message);
PEMRA_API int pemra_get_file_list_fn(void* agent, std::string device_id);
PEMRA_API int pemra_get_file_meta_fn(void* agent, std::string device_id, std::string file_name);
PEMRA_API int pemra_delete_file_fn(void* agent, std::string device_id, std::string file_name);
PEMRA_API int pemra_get_print_history_fn(void* agent, std::string device_id, int start, int limit,
                                         std::string order);
// false: no callback fires (events meanwhile are not kept); true: they fire again.
PEMRA_API int pemra_network_track_enable(void* agent, bool enable);
PEMRA_API const char* pemra_network_get_version();

// ---- Callbacks (see callbacks.h for the thread they run on) ---------------------
// Each replaces the slot; an empty callable silences it. Safe at any time.

PEMRA_API int pemra_set_machine_status_changed_fn(void* agent, MachineStatusChangedFn fn);
PEMRA_API int pemra_set_file_list_arrived_fn(void* agent, FileListArrivedFn fn);
PEMRA_API int pemra_set_file_meta_arrived_fn(void* agent, FileMetaArrivedFn fn);
PEMRA_API int pemra_set_print_history_arrived_fn(void* agent, PrintHistoryArrivedFn fn);
PEMRA_API int pemra_set_error_arrived_fn(void* agent, ErrorArrivedFn fn);
PEMRA_API int pemra_set_file_changed_fn(void* agent, FileChangedFn fn);
PEMRA_API int pemra_set_history_changed_fn(void* agent, HistoryChangedFn fn);

// ---- Placeholders -----------------------------------------------------------
// Features this plug-in does not offer. Each releases its arguments unread,
// never calls a callable it receives, and returns a fixed result at once.

// Result 0.
PEMRA_API int pemra_network_check_user_task_report(void* agent);
PEMRA_API int pemra_network_connect_server(void* agent);
PEMRA_API int pemra_network_get_model_id_from_desgin_id(void* agent);
PEMRA_API int pemra_network_get_model_mall_home_url(void* agent);
PEMRA_API int pemra_network_get_model_mall_rating_result(void* agent);
PEMRA_API int pemra_network_get_model_publish_url(void* agent);
PEMRA_API int pemra_network_get_my_message(void* agent);
PEMRA_API int pemra_network_get_user_info(void* agent);
PEMRA_API int pemra_network_get_user_presets(void* agent);
PEMRA_API int pemra_network_get_user_print_info(void* agent);
PEMRA_API int pemra_network_init_log(void* agent);
PEMRA_API int pemra_network_refresh_connection(void* agent);
PEMRA_API int pemra_network_request_bind_ticket(void* agent);
PEMRA_API int pemra_network_start_device_subscribe(void* agent);
PEMRA_API int pemra_network_stop_device_subscribe(void* agent);
PEMRA_API int pemra_network_track_remove_files(void* agent);
PEMRA_API int pemra_network_user_logout(void* agent);

PEMRA_API void pemra_network_enable_multi_machine(void* agent);

// Result false.
PEMRA_API bool pemra_network_is_server_connected(void* agent);
PEMRA_API bool pemra_network_is_user_login(void* agent);
PEMRA_API bool pemra_network_start_discovery(void* agent);
// Result true.
PEMRA_API bool pemra_network_check_debug_consistent(void* agent);

// Result: an empty library-owned text.
PEMRA_API const char* pemra_network_build_login_cmd(void* agent);
PEMRA_API const char* pemra_network_build_login_info(void* agent);
PEMRA_API const char* pemra_network_build_logout_cmd(void* agent);
PEMRA_API const char* pemra_network_get_user_avatar(void* agent);
PEMRA_API const char* pemra_network_get_user_id(void* agent);
PEMRA_API const char* pemra_network_get_user_name(void* agent);
PEMRA_API const char* pemra_network_get_user_nickanme(void* agent);
PEMRA_API const char* pemra_network_get_studio_info_url(void* agent);
PEMRA_API const char* pemra_network_get_user_selected_machine(void* agent);
PEMRA_API const char* pemra_network_request_setting_id(void* agent, std::string text);

// Result 0, each with the arguments shown.
PEMRA_API int pemra_network_add_subscribe(void* agent, std::vector<std::string> list);
PEMRA_API int pemra_network_del_subscribe(void* agent, std::vector<std::string> list);
PEMRA_API int pemra_network_query_bind_status(void* agent, std::vector<std::string> list);

PEMRA_API int pemra_network_change_user(void* agent, std::string text);
PEMRA_API int pemra_network_delete_setting(void* agent, std::string text);
PEMRA_API int pemra_network_get_my_profile(void* agent, std::string text);
PEMRA_API int pemra_network_get_printer_firmware(void* agent, std::string text);
PEMRA_API int pemra_network_get_subtask_info(void* agent, std::string text);
PEMRA_API int pemra_network_get_task_plate_index(void* agent, std::string text);
PEMRA_API int pemra_network_get_user_tasks(void* agent, std::string text);
PEMRA_API int pemra_network_ping_bind(void* agent, std::string text);
PEMRA_API int pemra_network_set_config_dir(void* agent, std::string text);
PEMRA_API int pemra_network_set_country_code(void* agent, std::string text);
PEMRA_API int pemra_network_set_user_selected_machine(void* agent, std::string text);
PEMRA_API int pemra_network_start_subscribe(void* agent, std::string text);
PEMRA_API int pemra_network_stop_subscribe(void* agent, std::string text);
PEMRA_API int pemra_network_track_header(void* agent, std::string text);
PEMRA_API int pemra_network_unbind(void* agent, std::string text);

PEMRA_API int pemra_network_get_slice_info(void* agent, std::string text_1, std::string text_2, int value);
PEMRA_API int pemra_network_modify_printer_name(void* agent, std::string text_1, std::string text_2, int value);
PEMRA_API int pemra_network_put_setting(void* agent, std::string text_1, std::string text_2, int value);
PEMRA_API int pemra_network_send_message(void* agent, std::string text_1, std::string text_2, int value);
PEMRA_API int pemra_network_set_cert_file(void* agent, std::string text_1, std::string text_2, int value);
PEMRA_API int pemra_network_track_event(void* agent, std::string text_1, std::string text_2, int value);

PEMRA_API int pemra_network_track_update_property(void* agent, std::string text_1, std::string text_2,
                                                  std::string text_3);
PEMRA_API int pemra_network_track_get_property(void* agent, std::string text_1, int value,
                                               std::string text_2);
PEMRA_API int pemra_network_bind(void* agent, std::string text_1, std::string text_2, std::string text_3,
                                 std::string text_4, int value, UnusedCallable fn);
PEMRA_API int pemra_network_get_camera_url(void* agent, std::string text, UnusedCallable fn);
PEMRA_API int pemra_network_get_setting_list(void* agent, std::string text, UnusedCallable fn_1,
                                             UnusedCallable fn_2);
PEMRA_API int pemra_network_get_setting_list2(void* agent, std::string text, UnusedCallable fn_1,
                                              UnusedCallable fn_2, UnusedCallable fn_3);
PEMRA_API int pemra_network_get_model_mall_detail_url(void* agent, int value, std::string text);
PEMRA_API int pemra_network_get_oss_config(void* agent, int value, std::string text);
PEMRA_API int pemra_network_get_design_staffpick(void* agent, int value_1, int value_2, UnusedCallable fn);
PEMRA_API int pemra_network_get_mw_user_4ulist(void* agent, int value_1, int value_2, UnusedCallable fn);
PEMRA_API int pemra_network_put_rating_picture_oss(void* agent, int value_1, int value_2, std::string text);
PEMRA_API int pemra_network_put_model_mall_rating_url(void* agent, int value_1, int value_2, std::string text,
                                                      std::vector<std::string> list);

PEMRA_API int pemra_network_get_mw_user_preference(void* agent, UnusedCallable fn);
PEMRA_API int pemra_network_set_get_country_code_fn(void* agent, UnusedCallable fn);
PEMRA_API int pemra_network_set_on_http_error_fn(void* agent, UnusedCallable fn);
PEMRA_API int pemra_network_set_on_local_connect_fn(void* agent, UnusedCallable fn);
PEMRA_API int pemra_network_set_on_local_message_fn(void* agent, UnusedCallable fn);
PEMRA_API int pemra_network_set_on_message_fn(void* agent, UnusedCallable fn);
PEMRA_API int pemra_network_set_on_printer_connected_fn(void* agent, UnusedCallable fn);
PEMRA_API int pemra_network_set_on_server_connected_fn(void* agent, UnusedCallable fn);
PEMRA_API int pemra_network_set_on_ssdp_msg_fn(void* agent, UnusedCallable fn);
PEMRA_API int pemra_network_set_on_subscribe_failure_fn(void* agent, UnusedCallable fn);
PEMRA_API int pemra_network_set_on_user_login_fn(void* agent, UnusedCallable fn);
PEMRA_API int pemra_network_set_on_user_message_fn(void* agent, UnusedCallable fn);
PEMRA_API int pemra_network_set_queue_on_main_fn(void* agent, UnusedCallable fn);

PEMRA_API int pemra_network_set_extra_http_header(void* agent, std::map<std::string, std::string> headers);

PEMRA_API int pemra_network_start_local_print(void* agent, PrintJobRecord job, UnusedCallable fn_1,
                                              UnusedCallable fn_2);
PEMRA_API int pemra_network_start_sdcard_print(void* agent, PrintJobRecord job, UnusedCallable fn_1,
                                               UnusedCallable fn_2);
PEMRA_API int pemra_network_start_local_print_with_record(void* agent, PrintJobRecord job,
                                                          UnusedCallable fn_1, UnusedCallable fn_2,
                                                          UnusedCallable fn_3);
PEMRA_API int pemra_network_start_print(void* agent, PrintJobRecord job, UnusedCallable fn_1,
                                        UnusedCallable fn_2, UnusedCallable fn_3);
PEMRA_API int pemra_network_start_send_gcode_to_sdcard(void* agent, PrintJobRecord job,
                                                       UnusedCallable fn_1, UnusedCallable fn_2,
                                                       UnusedCallable fn_3);
PEMRA_API int pemra_network_start_pubilsh(void* agent, PublishRecord record, UnusedCallable fn_1,
                                          UnusedCallable fn_2);
