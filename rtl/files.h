#pragma once
// File names: the running executable's path and the pieces of a path.

#include "rtl/strings.h"

namespace rtl {

constexpr char16_t PathDelim = u'/';

// The full path of the running executable, as the system reports it unless
// SetExecutableFileName chose another (tests run the program "from" a
// folder of their own); every file kept beside the executable is found by it.
String ExecutableFileName();
// An empty Value goes back to the system's answer.
void SetExecutableFileName(StringView Value);
// The folder part of FileName with its trailing delimiter ("" when none).
String ExtractFilePath(StringView FileName);
bool FileExists(StringView FileName);

}  // namespace rtl
