#include "editor/collections/recent_files.h"

#include <algorithm>

namespace collections {

RecentFiles::RecentFiles(const std::vector<std::string>& kept) {
    for (const std::string& path : kept) {
        if (path.empty() || std::find(paths_.begin(), paths_.end(), path) != paths_.end()) continue;
        if (paths_.size() == kMaxFiles) break;
        paths_.push_back(path);
    }
}

void RecentFiles::use(const std::string& path) {
    if (path.empty()) return;
    forget(path);
    paths_.insert(paths_.begin(), path);
    if (paths_.size() > kMaxFiles) paths_.resize(kMaxFiles);
}

void RecentFiles::forget(const std::string& path) {
    paths_.erase(std::remove(paths_.begin(), paths_.end(), path), paths_.end());
}

}  // namespace collections
