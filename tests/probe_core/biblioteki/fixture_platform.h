// Test helpers: a loader platform that opens the fixed library names inside one fixture folder
// and records every call, and message boxes that only record what they would show.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/dynlib.h"
#include "probe_core/biblioteki/biblioteki.h"

namespace testing_support {

class FolderPlatform : public biblioteki::LoaderPlatform {
  public:
    explicit FolderPlatform(std::string folder) : folder_(std::move(folder)) {}

    void* LoadLibraryA(const char* fileName) override {
        calls.push_back(std::string("load ") + fileName);
        return platform::loadLibrary((folder_ + "/" + fileName).c_str());
    }
    void* GetProcAddress(void* module, const char* name) override {
        calls.push_back(std::string("find ") + name);
        return platform::findExport(module, name);
    }
    bool FreeLibrary(void* module) override {
        calls.push_back("free");
        return platform::freeLibrary(module);
    }
    std::string LastErrorText() override { return platform::lastErrorText(); }
    std::uint32_t LastErrorCode() override { return platform::lastErrorCode(); }

    // Looks up a fixture's own export (not recorded).
    template <typename Fn>
    static Fn fixtureExport(void* module, const char* name) {
        return reinterpret_cast<Fn>(platform::findExport(module, name));
    }

    std::vector<std::string> calls;

  private:
    std::string folder_;
};

struct Box {
    std::string title;
    std::string text;
    bool operator==(const Box&) const = default;
};

class RecordingBoxes : public biblioteki::MessageBoxes {
  public:
    void show(const std::string& title, const std::string& text) override {
        shown.push_back({title, text});
    }
    std::vector<Box> shown;
};

}  // namespace testing_support
