// The children's Z-order is their tab order for the dialog manager that ShellPoll runs, and their
// order among the window's accessible children. Created in the order of their fields, they would
// reach the close button last and the change button before the path it changes; placed in reading
// order, Tab and a screen reader's object navigation both walk the face top to bottom, left to right.

#include <windows.h>

#include "shell/accessibility.h"
#include "shell/shell_context.h"

namespace tovrak {

void OrderShellChildren(const ShellContext& shell) noexcept {
    // The close button at the top right, the action or its bar, the footer row, the location panel,
    // the diagnostics panel.
    const HWND readingOrder[] = {
        shell.closeButton,       shell.primaryButton,         shell.progressBar,
        shell.agreementCheckbox, shell.userAgreementLink,     shell.privacyPolicyLink,
        shell.optionsButton,     shell.locationLabel,         shell.directoryNoteLabel,
        shell.pathEdit,          shell.browseButton,          shell.shortcutCheckbox,
        shell.diagnosticsLabel,  shell.copyDiagnosticsButton, shell.openLogButton,
    };
    HWND previous = HWND_TOP;
    for (HWND child : readingOrder) {
        if (!child) continue;
        ::SetWindowPos(child, previous, 0, 0, 0, 0,
                       SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOREDRAW | SWP_NOOWNERZORDER);
        previous = child;
    }
}

}  // namespace tovrak
