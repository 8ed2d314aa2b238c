// The part of replacing a file that both systems share: the names of the new files and following
// links.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <system_error>

#include "platform/crc32.h"
#include "platform/replace_file.h"

namespace platform {
namespace {

// Room left for the unique ending of a temporary name: "-<up to 20 digits>-<up to 6>.tmp".
constexpr std::size_t kUniqueEndingBytes = 32;

std::string utf8Of(const std::filesystem::path& p) {
    const std::u8string s = p.u8string();
    return std::string(s.begin(), s.end());
}

std::filesystem::path pathOfUtf8(const std::string& s) {
    return std::filesystem::path(std::u8string(s.begin(), s.end()));
}

}  // namespace

std::string temporaryNamePrefix(const std::filesystem::path& file, std::string_view mark) {
    std::string name = utf8Of(file.filename());
    if (name.size() + mark.size() + kUniqueEndingBytes <= kMaxFileNameBytes)
        return name + std::string(mark);
    // "<stem cut at a character boundary>~<checksum of the whole name>": names that share their
    // first bytes still get prefixes of their own.
    char sum[10];
    std::snprintf(sum, sizeof sum, "~%08x",
                  static_cast<unsigned>(crc32Of(name.data(), name.size())));
    std::size_t keep = kMaxFileNameBytes - mark.size() - kUniqueEndingBytes - 9;
    while (keep > 0 && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80) --keep;
    name.resize(keep);
    return name + sum + std::string(mark);
}

std::filesystem::path temporaryBeside(const std::filesystem::path& file, std::string_view mark) {
    static std::atomic<unsigned> serial{0};
    const std::string ending =
        std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()) + "-" +
        std::to_string(serial++ % 1000000) + ".tmp";
    return file.parent_path() / pathOfUtf8(temporaryNamePrefix(file, mark) + ending);
}

std::filesystem::path followLinks(const std::filesystem::path& path) {
    std::filesystem::path p = path;
    std::error_code ec;
    for (int i = 0; i < 40 && std::filesystem::is_symlink(std::filesystem::symlink_status(p, ec));
         ++i) {
        const std::filesystem::path link = std::filesystem::read_symlink(p, ec);
        if (ec) break;
        p = link.is_absolute() ? link : p.parent_path() / link;
    }
    return p;
}

}  // namespace platform
