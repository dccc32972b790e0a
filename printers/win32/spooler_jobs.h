// Following a document the Windows spooler took, by its job id, until the spooler says it
// printed, gave it up, or no longer has it.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "printers/followed_job.h"

namespace zelmo {

// Looks without an answer after which a job is told as sent: the spooler may be stopped.
constexpr int kSpoolerSilentLimit = 30;

// What a JOB_INFO_1 Status means for the job's owner.
JobSighting sightingOfSpoolerStatus(DWORD status);
// The kind of trouble a job held up with status is told as.
PrintTrouble troubleOfSpoolerStatus(DWORD status);

// Follows job jobId of the named printer's queue from now on.
std::shared_ptr<SubmittedDocument> followSpoolerJob(const std::wstring& printer, DWORD jobId);

}  // namespace zelmo
