/* A host written in C: the public header must compile as C and its exports link by name. */
#include <tovrak/renderer.h>

#include <stdio.h>

int main(void) {
    ShellCommand command = ShellCommandNone;
    ShellStateKind kind = ShellStateIdle;
    printf("%d %d %d\n", (int)command, (int)kind, SetProgressMessage);
    return 0;
}
