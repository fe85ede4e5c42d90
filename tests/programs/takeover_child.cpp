// Acknowledges the takeover on whatever standard output it was given and exits with the result.

#include "tovrak/renderer.h"

int wmain() {
    return static_cast<int>(ShellAcknowledgeTakeover());
}
