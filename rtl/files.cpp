#include "rtl/files.h"

#include <filesystem>
#include <system_error>

namespace rtl {

namespace {

String& ChosenExecutableFileName() {
    static String chosen;
    return chosen;
}

}  // namespace

void SetExecutableFileName(StringView Value) { ChosenExecutableFileName() = String(Value); }

String ExecutableFileName() {
    if (const String& chosen = ChosenExecutableFileName(); !chosen.empty()) return chosen;
    std::error_code ec;
    const auto path = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? String() : Utf8ToString(path.string());
}

String ExtractFilePath(StringView FileName) {
    const auto slash = FileName.rfind(PathDelim);
    return slash == StringView::npos ? String() : String(FileName.substr(0, slash + 1));
}

bool FileExists(StringView FileName) {
    std::error_code ec;
    return std::filesystem::is_regular_file(std::filesystem::path(StringToUtf8(FileName)), ec);
}

}  // namespace rtl
