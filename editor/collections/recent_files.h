// The probe files last read or written, newest first, for the "Датчики" menu. Names are full
// paths (UTF-8), compared as written.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace collections {

class RecentFiles {
  public:
    static constexpr std::size_t kMaxFiles = 5;

    // A list kept from an earlier run: empty and repeated names are dropped, the rest cut to
    // kMaxFiles.
    explicit RecentFiles(const std::vector<std::string>& kept = {});
    // `path` was read or written: it moves to the front.
    void use(const std::string& path);
    // `path` no longer opens: it leaves the list.
    void forget(const std::string& path);
    const std::vector<std::string>& paths() const { return paths_; }
    // What the menu shows of each path: the file's name, followed by its folder where another
    // file of the list has the same name.
    std::vector<std::string> captions() const;

  private:
    std::vector<std::string> paths_;
};

}  // namespace collections
