// The menu loop.  (Placeholder until the application is built.)
#include "app/menu.h"

int app_main(int, char**) { return 0; }
