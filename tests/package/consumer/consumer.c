/* Calls the library through the installed header and import library: no shell is open, so
   ShellPoll answers 2 (Close). */
#include <tovrak/renderer.h>

#include <stdio.h>

int main(void) {
    int32_t command = ShellPoll();
    printf("ShellPoll without a shell: %d\n", (int)command);
    return command == ShellCommandClose ? 0 : 1;
}
