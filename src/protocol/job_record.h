// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// The printer's most recent print job, copied field by field from a job
// object of its history into MachineStatus::last_job.

#include "pemra_network/machine_status.h"
#include "status/json_read.h"

namespace pemra::protocol {

// Only present (non-null) keys change their field, so a job with partial
// metadata keeps the rest of the previous job. A value that is not an object
// changes nothing. Throws json_read::ReadError for a field of the wrong type.
void apply_job_record(MachineStatus::LastJob& job, json_read::Element record);

// True when `record` is a job object whose "job_id" is the text `job` holds
// (never for an empty or missing id, nor for a "job_id" that is not a
// string).
bool is_same_job(const MachineStatus::LastJob& job, json_read::Element record);

}  // namespace pemra::protocol
