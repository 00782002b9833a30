// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
//
// The placeholder exports: features this plug-in does not offer. Each takes
// its arguments, releases them unread (callables are never called) and
// returns its fixed result; the host only needs every name to exist.

#include "pemra_network/pemra_network.h"

int pemra_network_check_user_task_report(void*) { return 0; }

int pemra_network_connect_server(void*) { return 0; }

int pemra_network_get_model_id_from_desgin_id(void*) { return 0; }

int pemra_network_get_model_mall_home_url(void*) { return 0; }

int pemra_network_get_model_mall_rating_result(void*) { return 0; }

int pemra_network_get_model_publish_url(void*) { return 0; }

int pemra_network_get_my_message(void*) { return 0; }

int pemra_network_get_user_info(void*) { return 0; }

int pemra_network_get_user_presets(void*) { return 0; }

int pemra_network_get_user_print_info(void*) { return 0; }

int pemra_network_init_log(void*) { return 0; }

int pemra_network_refresh_connection(void*) { return 0; }

int pemra_network_request_bind_ticket(void*) { return 0; }

int pemra_network_start_device_subscribe(void*) { return 0; }

int pemra_network_stop_device_subscribe(void*) { return 0; }

int pemra_network_track_remove_files(void*) { return 0; }

int pemra_network_user_logout(void*) { return 0; }

void pemra_network_enable_multi_machine(void*) {}

bool pemra_network_is_server_connected(void*) { return false; }

bool pemra_network_is_user_login(void*) { return false; }

bool pemra_network_start_discovery(void*) { return false; }

bool pemra_network_check_debug_consistent(void*) { return true; }

const char* pemra_network_build_login_cmd(void*) { return ""; }

const char* pemra_network_build_login_info(void*) { return ""; }

const char* pemra_network_build_logout_cmd(void*) { return ""; }

const char* pemra_network_get_user_avatar(void*) { return ""; }

const char* pemra_network_get_user_id(void*) { return ""; }

const char* pemra_network_get_user_name(void*) { return ""; }

const char* pemra_network_get_user_nickanme(void*) { return ""; }

const char* pemra_network_get_studio_info_url(void*) { return ""; }

const char* pemra_network_get_user_selected_machine(void*) { return ""; }

const char* pemra_network_request_setting_id(void*, std::string) { return ""; }

int pemra_network_add_subscribe(void*, std::vector<std::string>) { return 0; }

int pemra_network_del_subscribe(void*, std::vector<std::string>) { return 0; }

int pemra_network_query_bind_status(void*, std::vector<std::string>) { return 0; }

int pemra_network_change_user(void*, std::string) { return 0; }

int pemra_network_delete_setting(void*, std::string) { return 0; }

int pemra_network_get_my_profile(void*, std::string) { return 0; }

int pemra_network_get_printer_firmware(void*, std::string) { return 0; }

int pemra_network_get_subtask_info(void*, std::string) { return 0; }

int pemra_network_get_task_plate_index(void*, std::string) { return 0; }

int pemra_network_get_user_tasks(void*, std::string) { return 0; }

int pemra_network_ping_bind(void*, std::string) { return 0; }

int pemra_network_set_config_dir(void*, std::string) { return 0; }

int pemra_network_set_country_code(void*, std::string) { return 0; }

int pemra_network_set_user_selected_machine(void*, std::string) { return 0; }

int pemra_network_start_subscribe(void*, std::string) { return 0; }

int pemra_network_stop_subscribe(void*, std::string) { return 0; }

int pemra_network_track_header(void*, std::string) { return 0; }

int pemra_network_unbind(void*, std::string) { return 0; }

int pemra_network_get_slice_info(void*, std::string, std::string, int) { return 0; }

int pemra_network_modify_printer_name(void*, std::string, std::string, int) { return 0; }

int pemra_network_put_setting(void*, std::string, std::string, int) { return 0; }

int pemra_network_send_message(void*, std::string, std::string, int) { return 0; }

int pemra_network_set_cert_file(void*, std::string, std::string, int) { return 0; }

int pemra_network_track_event(void*, std::string, std::string, int) { return 0; }

int pemra_network_track_update_property(void*, std::string, std::string, std::string) { return 0; }

int pemra_network_track_get_property(void*, std::string, int, std::string) { return 0; }

int pemra_network_bind(void*, std::string, std::string, std::string, std::string, int, UnusedCallable) { return 0; }

int pemra_network_get_camera_url(void*, std::string, UnusedCallable) { return 0; }

int pemra_network_get_setting_list(void*, std::string, UnusedCallable, UnusedCallable) { return 0; }

int pemra_network_get_setting_list2(void*, std::string, UnusedCallable, UnusedCallable, UnusedCallable) { return 0; }

int pemra_network_get_model_mall_detail_url(void*, int, std::string) { return 0; }

int pemra_network_get_oss_config(void*, int, std::string) { return 0; }

int pemra_network_get_design_staffpick(void*, int, int, UnusedCallable) { return 0; }

int pemra_network_get_mw_user_4ulist(void*, int, int, UnusedCallable) { return 0; }

int pemra_network_put_rating_picture_oss(void*, int, int, std::string) { return 0; }

int pemra_network_put_model_mall_rating_url(void*, int, int, std::string, std::vector<std::string>) { return 0; }

int pemra_network_get_mw_user_preference(void*, UnusedCallable) { return 0; }

int pemra_network_set_get_country_code_fn(void*, UnusedCallable) { return 0; }

int pemra_network_set_on_http_error_fn(void*, UnusedCallable) { return 0; }

int pemra_network_set_on_local_connect_fn(void*, UnusedCallable) { return 0; }

int pemra_network_set_on_local_message_fn(void*, UnusedCallable) { return 0; }

int pemra_network_set_on_message_fn(void*, UnusedCallable) { return 0; }

int pemra_network_set_on_printer_connected_fn(void*, UnusedCallable) { return 0; }

int pemra_network_set_on_server_connected_fn(void*, UnusedCallable) { return 0; }

int pemra_network_set_on_ssdp_msg_fn(void*, UnusedCallable) { return 0; }

int pemra_network_set_on_subscribe_failure_fn(void*, UnusedCallable) { return 0; }

int pemra_network_set_on_user_login_fn(void*, UnusedCallable) { return 0; }

int pemra_network_set_on_user_message_fn(void*, UnusedCallable) { return 0; }

int pemra_network_set_queue_on_main_fn(void*, UnusedCallable) { return 0; }

int pemra_network_set_extra_http_header(void*, std::map<std::string, std::string>) { return 0; }

int pemra_network_start_local_print(void*, PrintJobRecord, UnusedCallable, UnusedCallable) { return 0; }

int pemra_network_start_sdcard_print(void*, PrintJobRecord, UnusedCallable, UnusedCallable) { return 0; }

int pemra_network_start_local_print_with_record(void*, PrintJobRecord, UnusedCallable, UnusedCallable, UnusedCallable) { return 0; }

int pemra_network_start_print(void*, PrintJobRecord, UnusedCallable, UnusedCallable, UnusedCallable) { return 0; }

int pemra_network_start_send_gcode_to_sdcard(void*, PrintJobRecord, UnusedCallable, UnusedCallable, UnusedCallable) { return 0; }

int pemra_network_start_pubilsh(void*, PublishRecord, UnusedCallable, UnusedCallable) { return 0; }
