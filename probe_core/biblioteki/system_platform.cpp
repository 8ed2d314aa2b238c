// The loader's platform calls, made through the platform layer.
#include "platform/cp1251.h"
#include "platform/dynlib.h"
#include "probe_core/biblioteki/biblioteki.h"

namespace biblioteki {
namespace {

class SystemPlatform final : public LoaderPlatform {
  public:
    void* LoadLibraryA(const char* fileName) override { return platform::loadLibrary(fileName); }
    void* GetProcAddress(void* module, const char* name) override {
        return platform::findExport(module, name);
    }
    bool FreeLibrary(void* module) override { return platform::freeLibrary(module); }
    std::string LastErrorText() override {
#if defined(_WIN32)
        // The system message table answers in the ANSI code page.
        return platform::cp1251ToUtf8(platform::lastErrorText());
#else
        return platform::lastErrorText();
#endif
    }
    std::uint32_t LastErrorCode() override {
        return platform::lastErrorCode();
    }
};

}  // namespace

LoaderPlatform& systemPlatform() {
    static SystemPlatform instance;
    return instance;
}

}  // namespace biblioteki
