// The desktop front end when the build found no GTK 3: never available.
#include <cstdio>
#include <cstdlib>

#include "frontends/gtk/gtk_frontend.h"

int gwDisplayPresent()
{
    return 0;
}

int gwAvailable()
{
    return 0;
}

void gwRun(int, char**, void (*)())
{
    std::fprintf(stderr, "rastrel: this build has no desktop window (GTK 3 was not found)\n");
    std::exit(2);
}
