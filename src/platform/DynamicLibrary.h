#pragma once
// Loading a shared library by file name and looking up its routines by name
// (dlopen / dlsym / dlclose). The calls may come from any thread; the text of the last
// failure is kept per thread, so a caller reads it right after the failed call.

#include <string>

namespace vsr {

// An open module; nullptr means none.
using TModuleHandle = void*;

// Opens the library file; nullptr on failure (an empty name fails as well).
TModuleHandle LoadModule(const std::string& fileName);

// The address of the exported routine; nullptr when the module has no such export.
void* FindModuleSymbol(TModuleHandle module, const char* name);

// Releases one reference to the module; nullptr is ignored.
void FreeModule(TModuleHandle module);

// The system's text for the last failed call of this thread ("" when none failed yet).
std::string LastModuleError();

} // namespace vsr
