#include "shell/shell_context.h"

#include <new>

namespace tovrak {

ShellContext* g_shell = nullptr;

ShellContext* AllocateShellContext() noexcept {
    return new (std::nothrow) ShellContext();
}

void FreeShellContext(ShellContext* context) noexcept {
    delete context;
}

}  // namespace tovrak
