#pragma once
// Reading the progress records that a verification writes to a worker's standard output.

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace tovrak::test {

struct ProgressStream {
    std::vector<std::wstring> values;  // the texts of the progress records, in order
    bool wellFormed = true;            // every record was a whole type-1 "progress" record
    DWORD exitCode = STILL_ACTIVE;
};

// Starts progress_worker.exe with `arguments` and its standard output a pipe, and reads the pipe to
// its end.
ProgressStream RunProgressWorker(const std::wstring& arguments);

// Runs `verify` in this process with standard output redirected to a pipe that another thread drains;
// `onFirstRecord` runs on that thread as soon as the first record has arrived (mid-verification).
ProgressStream VerifyWithProgressPipe(const std::function<int()>& verify,
                                      const std::function<void()>& onFirstRecord);

}  // namespace tovrak::test
