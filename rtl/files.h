#pragma once
// File names: the running executable's path and the pieces of a path.

#include "rtl/strings.h"

namespace rtl {

constexpr char16_t PathDelim = u'/';

// The full path of the running executable.
String ExecutableFileName();
// The folder part of FileName with its trailing delimiter ("" when none).
String ExtractFilePath(StringView FileName);
bool FileExists(StringView FileName);

}  // namespace rtl
