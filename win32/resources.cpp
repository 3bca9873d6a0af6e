// The resources' registration.  The native build has the console's menu,
// shortcuts and printing dialog compiled in (rastrel.rc, written from the
// same tables), so registering them at start-up has nothing to do.  (Kept
// apart, so that a test program may take the registrations itself.)
#include "platform/platform.h"

void plAddMenuResource(plHinstance, const char*, const plMenuTemplateItem*, int) {}
void plAddAcceleratorResource(plHinstance, const char*, const plAccelEntry*, int) {}
void plAddDialogResource(plHinstance, const char*, const plDialogTemplate*) {}
