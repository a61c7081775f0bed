#pragma once
// Many jobs at once, as the fax service runs them: a pool of send threads
// works through a plan of jobs while other threads query their status and
// abort some of them at random moments. Prints one line of facts per job and
// what the host found after shutdown (heap ledger, files left, peak memory);
// the caller judges them against what the mail server received.
#include <string>
#include <vector>

#include "ProviderHost.h"

namespace corvisk::testbed {

struct PlannedJob {
  std::wstring number;
  std::wstring document;
};

struct BatchOptions {
  std::vector<PlannedJob> jobs;
  unsigned concurrency = 1;
  unsigned abortPercent = 0;  // share of jobs aborted at a random moment of their send
  unsigned maxAbortDelayMs = 3000;
  unsigned statusThreads = 0;  // threads that call FaxDevReportStatus on random live jobs
  unsigned seed = 1;
  unsigned warmUpJobs = 0;  // the plan's first jobs, sent one at a time before the timed ones start
};

// Reads "NUMBER<TAB>DOCUMENT" lines (UTF-8); false when the file cannot be read.
bool ReadJobPlan(const std::wstring& path, std::vector<PlannedJob>& jobs);

// Runs the plan against a started host, shuts the provider down and prints
// the transcript; returns the process exit code (0 unless the host failed).
int RunBatch(ProviderHost& host, const BatchOptions& options);

}  // namespace corvisk::testbed
