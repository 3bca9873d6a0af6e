// The menu loop: the banner, the two-item menu and the selection.
#include "app/menu.h"

#include "app/conversion.h"
#include "runtime/runtime.h"

namespace {

char selection;   // the last selection read

}  // namespace

int app_main(int, char**)
{
    for (;;) {
        rt::cout << "\n\n\nRastrel 1.0"
                 << "\n1 - Convert scan file to TIFF."
                 << "\n9 - Exit."
                 << "\n\nEnter Selection: ";
        if (!(rt::cin >> selection)) {
            // Standard input has ended (or failed): no selection can come,
            // so the program ends as selection 9 ends it.
            rt_exit(0);
        }
        if (selection == '1') {
            convert_scans();
        } else if (selection == '9') {
            rt_exit(0);
        }
    }
}
