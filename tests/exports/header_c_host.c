/* A host written in C: the public header must compile as C and its exports link by name. */
#include <tovrak/renderer.h>

#include <stdio.h>

int main(void) {
    ShellCommand command = ShellCommandNone;
    ShellStateKind kind = ShellStateIdle;
    printf("%d %d %d\n", (int)command, (int)kind, SetProgressMessage);
    /* Skinning exports refuse a null window: a result other than 0 means the wrong entry point. */
    if (SetPath(NULL, RGB(0, 0, 0), RGB(255, 255, 255)) != 0) return 1;
    /* A tag with an empty subtag is refused before anything else is looked at. */
    if (ShellConfigureTexts(L"en--US", NULL) != TOVRAK_ERROR_INVALID_PARAMETER) return 1;
    return 0;
}
