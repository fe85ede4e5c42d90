#pragma once
// The shape of every export that serves the open shell. The shell's state has no lock, so a call from
// a thread other than the one that opened it changes nothing and gets its plain refusal; a call
// without a shell gets the export's "nothing there" answer; every other call hands the record to the
// export's routine, and an allocation failure inside it becomes the export's failure result. The
// routines below take the record as their first parameter and never look for it themselves.

#include <windows.h>

#include <utility>

#include "common/export_guard.h"
#include "shell/shell_context.h"
#include "tovrak/renderer.h"

namespace tovrak {

// What an export answers when it does not reach its routine.
template <typename Result>
struct ShellExportAnswers {
    // No shell is open.
    Result noShell;
    // The caller is not the thread that opened the shell.
    Result wrongThread;
    // The routine failed to allocate.
    Result failure;
};

// The open shell when the caller may use it: null without a shell, and `wrongThread` set when
// another thread opened it.
inline ShellContext* ShellForCaller(bool& wrongThread) noexcept {
    ShellContext* shell = g_shell.get();
    wrongThread = shell && shell->hostThread != ::GetCurrentThreadId();
    return wrongThread ? nullptr : shell;
}

template <typename Result, typename Routine, typename... Arguments>
Result GuardShellExport(const ShellExportAnswers<Result>& answers, Routine&& routine,
                        Arguments&&... arguments) noexcept {
    bool wrongThread = false;
    ShellContext* shell = ShellForCaller(wrongThread);
    if (wrongThread) return answers.wrongThread;
    if (!shell) return answers.noShell;
    return GuardExport<Result>(answers.failure, std::forward<Routine>(routine), *shell,
                               std::forward<Arguments>(arguments)...);
}

// For the exports that return nothing: without a shell, or from another thread, they do nothing.
template <typename Routine, typename... Arguments>
void GuardShellExportVoid(Routine&& routine, Arguments&&... arguments) noexcept {
    bool wrongThread = false;
    if (ShellContext* shell = ShellForCaller(wrongThread))
        GuardExportVoid(std::forward<Routine>(routine), *shell, std::forward<Arguments>(arguments)...);
}

// The configuration calls prepare the next shell: while one is open they change nothing and answer
// ERROR_BUSY.
template <typename Routine, typename... Arguments>
uint32_t GuardConfigurationExport(Routine&& routine, Arguments&&... arguments) noexcept {
    if (g_shell) return ERROR_BUSY;
    return GuardExport<uint32_t>(ERROR_GEN_FAILURE, std::forward<Routine>(routine),
                                 std::forward<Arguments>(arguments)...);
}

}  // namespace tovrak
