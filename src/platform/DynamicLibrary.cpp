#include "platform/DynamicLibrary.h"

#include <dlfcn.h>

namespace vsr {

namespace {

thread_local std::string LastError;

void KeepError(const char* fallback) {
    const char* text = dlerror();
    LastError = text ? text : fallback;
}

} // namespace

TModuleHandle LoadModule(const std::string& fileName) {
    // dlopen("") would hand out the program itself instead of failing.
    if (fileName.empty()) {
        LastError = "empty library file name";
        return nullptr;
    }
    dlerror();
    TModuleHandle module = dlopen(fileName.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module)
        KeepError("the library could not be loaded");
    return module;
}

void* FindModuleSymbol(TModuleHandle module, const char* name) {
    if (!module || !name) {
        LastError = "no module or no routine name";
        return nullptr;
    }
    dlerror();
    void* symbol = dlsym(module, name);
    if (!symbol)
        KeepError("the routine has no address");
    return symbol;
}

void FreeModule(TModuleHandle module) {
    if (module && dlclose(module) != 0)
        KeepError("the library could not be released");
}

std::string LastModuleError() {
    return LastError;
}

} // namespace vsr
