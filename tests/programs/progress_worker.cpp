// A worker that verifies payloads with its standard output as the event stream, so that a test can read
// the progress records off the pipe. Commands run in order:
//   range <start> <end>                     PayloadVerifyProgressRange
//   payload <directory> <manifest>          VerifyPayloadIntegrity
//   file <path> <manifest> <relativePath>   VerifyPayloadFileIntegrity
// The exit code packs the verification results, four bits each, the first in the lowest bits; 255
// means the command line was not understood.

#include <windows.h>

#include <cwchar>
#include <cstdlib>
#include <string_view>

#include "tovrak/renderer.h"

int wmain(int argc, wchar_t** argv) {
    unsigned exitCode = 0;
    int shift = 0;
    for (int i = 1; i < argc;) {
        const std::wstring_view command = argv[i];
        if (command == L"range" && i + 2 < argc) {
            PayloadVerifyProgressRange(std::wcstol(argv[i + 1], nullptr, 10),
                                       std::wcstol(argv[i + 2], nullptr, 10));
            i += 3;
        } else if (command == L"payload" && i + 2 < argc) {
            exitCode |= static_cast<unsigned>(VerifyPayloadIntegrity(argv[i + 1], argv[i + 2])) << shift;
            shift += 4;
            i += 3;
        } else if (command == L"file" && i + 3 < argc) {
            exitCode |=
                static_cast<unsigned>(VerifyPayloadFileIntegrity(argv[i + 1], argv[i + 2], argv[i + 3]))
                << shift;
            shift += 4;
            i += 4;
        } else {
            return 255;
        }
    }
    return static_cast<int>(exitCode);
}
