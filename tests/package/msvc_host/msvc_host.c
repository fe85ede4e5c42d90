/* A host as Visual Studio builds it: compiled for the MSVC ABI, with no C runtime (none exists here for
   that ABI), and linked by an MSVC-style linker against lib/TovrakRenderer.lib. On 32-bit Windows each
   call below references the export's decorated symbol (_ShellPoll@0, _FindOwnedProcesses@20), and a
   wrong argument size would unbalance the stack. The exit code has one bit per call that answered
   wrongly. */
#include <tovrak/renderer.h>

int start(void) {
    unsigned int failures = 0;
    if (ShellPoll() != ShellCommandClose) failures |= 1; /* no shell is open */
    if (SetPath(NULL, RGB(0, 0, 0), RGB(255, 255, 255)) != 0) failures |= 2;
    /* The strings arrive: no process runs from a folder that does not exist. */
    if (FindOwnedProcesses(L"C:\\Tovrak\\no such folder", L"", 0, 0, 0) != 1) failures |= 4;
    ExitProcess(failures);
}
