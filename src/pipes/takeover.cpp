// The installer tells the process that started it, and reads its standard output, that it has
// taken over. Only a pipe carries the acknowledgement: on a console or in a file the four bytes
// would be noise, so nothing is written there.

#include <windows.h>

#include <cstdint>

#include "common/export_guard.h"
#include "common/last_error.h"
#include "tovrak/renderer.h"

namespace tovrak {
namespace {

constexpr char kTakeoverAcknowledgement[] = {'A', 'I', 'D', '1'};

std::uint32_t AcknowledgeTakeover() noexcept {
    const HANDLE output = ::GetStdHandle(STD_OUTPUT_HANDLE);
    if (output == nullptr || output == INVALID_HANDLE_VALUE) return ERROR_INVALID_HANDLE;

    ::SetLastError(0);
    if (::GetFileType(output) != FILE_TYPE_PIPE) return LastErrorOr(ERROR_INVALID_HANDLE);

    DWORD written = 0;
    if (!::WriteFile(output, kTakeoverAcknowledgement, sizeof(kTakeoverAcknowledgement), &written, nullptr))
        return LastErrorOr(ERROR_WRITE_FAULT);
    return written < sizeof(kTakeoverAcknowledgement) ? ERROR_WRITE_FAULT : 0;
}

}  // namespace
}  // namespace tovrak

extern "C" uint32_t TOVRAK_CALL ShellAcknowledgeTakeover(void) noexcept {
    return tovrak::GuardExport<uint32_t>(ERROR_GEN_FAILURE, tovrak::AcknowledgeTakeover);
}
