#include "shell/shell_context.h"

#include <new>

namespace tovrak {

constinit ShellRecord g_shell;

std::unique_ptr<ShellContext> AllocateShellContext() noexcept {
    return std::unique_ptr<ShellContext>(new (std::nothrow) ShellContext());
}

void InstallShellRecord(std::unique_ptr<ShellContext> record) noexcept {
    g_shell.reset(std::move(record));
}

void RemoveShellRecord() noexcept {
    g_shell.reset();
}

bool ShellIsOpen() noexcept {
    return static_cast<bool>(g_shell);
}

bool IsOpenShell(const ShellContext& shell) noexcept {
    return g_shell.get() == &shell;
}

}  // namespace tovrak
