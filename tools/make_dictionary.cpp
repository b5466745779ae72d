// make_dictionary: writes a sample lx_items.db from the Kazakh hunspell word list.

#include <chrono>
#include <cstdio>
#include <string>
#include <string_view>

#include "rtl/format.h"
#include "tools/dictionary_builder.h"

namespace {

constexpr const char* Usage =
    "Usage: make_dictionary [--out PATH] [--rows N] [--dic PATH] [--aff PATH] [--no-index] [--force]\n"
    "  --out PATH  database to write (default lx_items.db in the current folder)\n"
    "  --rows N    write N rows, one per inflected word form, instead of one per word\n"
    "  --dic PATH  hunspell word list (default /usr/share/hunspell/kk_KZ.dic)\n"
    "  --aff PATH  hunspell affix file (default /usr/share/hunspell/kk_KZ.aff)\n"
    "  --no-index  write no index on lx_word_upper\n"
    "  --force     replace an existing database\n";

// A command line the tool does not understand.
class EUsageError : public rtl::Exception {
public:
    explicit EUsageError(std::string_view message) : rtl::Exception(rtl::Utf8ToString(message)) {}
};

tools::DictionaryBuildOptions ParseArguments(int argc, char** argv, bool& help) {
    tools::DictionaryBuildOptions options;
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        std::string_view value;
        bool inlineValue = false;
        if (const auto eq = arg.find('='); arg.starts_with("--") && eq != std::string_view::npos) {
            value = arg.substr(eq + 1);
            arg = arg.substr(0, eq);
            inlineValue = true;
        }
        auto takeValue = [&]() -> std::string_view {
            if (inlineValue) return value;
            if (i + 1 >= argc) throw EUsageError("option " + std::string(arg) + " needs a value");
            return argv[++i];
        };
        if (arg == "--help" || arg == "-h") {
            help = true;
        } else if (arg == "--force" && !inlineValue) {
            options.Force = true;
        } else if (arg == "--no-index" && !inlineValue) {
            options.Index = false;
        } else if (arg == "--out") {
            options.OutFileName = rtl::Utf8ToString(takeValue());
        } else if (arg == "--dic") {
            options.DicFileName = rtl::Utf8ToString(takeValue());
        } else if (arg == "--aff") {
            options.AffFileName = rtl::Utf8ToString(takeValue());
        } else if (arg == "--rows") {
            const std::string_view text = takeValue();
            const auto rows = rtl::TryStrToInt64(rtl::Utf8ToString(text));
            if (!rows || *rows < 0 || text.find_first_not_of("0123456789") != std::string_view::npos)
                throw EUsageError("--rows needs a whole number of rows, not \"" + std::string(text) + "\"");
            options.Rows = *rows;
        } else {
            throw EUsageError("unknown argument \"" + std::string(argv[i]) + "\"");
        }
    }
    return options;
}

}  // namespace

int main(int argc, char** argv) {
    bool help = false;
    tools::DictionaryBuildOptions options;
    try {
        options = ParseArguments(argc, argv, help);
    } catch (const EUsageError& e) {
        std::fprintf(stderr, "make_dictionary: %s\n%s", e.what(), Usage);
        return 1;
    }
    if (help) {
        std::fputs(Usage, stdout);
        return 0;
    }

    try {
        const auto started = std::chrono::steady_clock::now();
        const tools::DictionaryBuildResult result = tools::BuildDictionaryDatabase(options);
        const auto elapsed =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started);
        if (!result.MalformedRuleLines.empty()) {
            std::string lines;
            for (std::size_t i = 0; i < result.MalformedRuleLines.size() && i < 5; ++i)
                lines += (i ? ", " : "") + std::to_string(result.MalformedRuleLines[i]);
            if (result.MalformedRuleLines.size() > 5) lines += ", ...";
            std::fprintf(stderr, "make_dictionary: %s: left out %zu affix rules that lack a field (lines %s)\n",
                         rtl::StringToUtf8(options.AffFileName).c_str(), result.MalformedRuleLines.size(),
                         lines.c_str());
        }
        if (result.TooLong > 0)
            std::fprintf(stderr, "make_dictionary: left out %lld words longer than %zu characters\n",
                         static_cast<long long>(result.TooLong), tools::WordColumnLength);
        std::printf("make_dictionary: wrote %lld rows to %s in %.2f s\n", static_cast<long long>(result.Rows),
                    rtl::StringToUtf8(options.OutFileName).c_str(), elapsed.count() / 1000.0);
        return 0;
    } catch (const rtl::Exception& e) {
        std::fprintf(stderr, "make_dictionary: %s\n", e.what());
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make_dictionary: %s\n", e.what());
        return 1;
    }
}
