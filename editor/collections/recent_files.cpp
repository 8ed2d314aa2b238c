#include "editor/collections/recent_files.h"

#include <algorithm>

#include "editor/probe/surface_files.h"

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

std::vector<std::string> RecentFiles::captions() const {
    std::vector<std::string> names;
    for (const std::string& path : paths_) names.push_back(probe::baseNameOf(path));
    std::vector<std::string> captions;
    for (std::size_t i = 0; i < paths_.size(); ++i) {
        const bool repeated = std::count(names.begin(), names.end(), names[i]) > 1;
        std::string folder = probe::folderOf(paths_[i]);
        if (folder.size() > 1) folder.pop_back();  // without its trailing separator
        captions.push_back(repeated ? names[i] + " (" + folder + ")" : names[i]);
    }
    return captions;
}

void RecentFiles::forget(const std::string& path) {
    paths_.erase(std::remove(paths_.begin(), paths_.end(), path), paths_.end());
}

}  // namespace collections
