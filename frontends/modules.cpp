// Finding and loading the program's modules (frontends/modules.h).
#include "frontends/modules.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstring>

namespace {

// The folder the program's file is in, with a slash at the end ("" when
// the system does not say).
size_t programFolder(char* folder, size_t size)
{
    const ssize_t length = readlink("/proc/self/exe", folder, size - 1);
    if (length <= 0) return 0;
    folder[length] = '\0';
    char* slash = std::strrchr(folder, '/');
    if (!slash) return 0;
    slash[1] = '\0';
    return static_cast<size_t>(slash + 1 - folder);
}

}  // namespace

void* openProgramModule(const char* name, const char** reason)
{
    char path[PATH_MAX + 1] = "";
    if (rastrelModuleFolder[0] != '/' && programFolder(path, sizeof path) == 0) {
        if (reason) *reason = "the program's own folder is not known";
        return nullptr;
    }
    const size_t used = std::strlen(path);
    if (std::snprintf(path + used, sizeof path - used, "%s/%s", rastrelModuleFolder, name) >=
        static_cast<int>(sizeof path - used)) {
        if (reason) *reason = "the module's path is too long";
        return nullptr;
    }
    void* handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (!handle && reason) *reason = dlerror();
    return handle;
}
