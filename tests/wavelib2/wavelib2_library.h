// wavelib2 loaded through the platform layer, as a program that uses it would load it.
#pragma once

#include <gtest/gtest.h>

#include <array>

#include "abi/plugin.h"
#include "abi/wavelib.h"
#include "abi/wavelib2.h"
#include "platform/dynlib.h"

class Wavelib2Library {
  public:
    Wavelib2Library() : module_(platform::loadLibrary("wavelib2.dll")) {
        if (module_ != nullptr) {
            request_ = reinterpret_cast<TableRequest3>(
                platform::findExport(module_, "PoluchitTablicuFunkciyPoImeni"));
        }
    }
    ~Wavelib2Library() {
        if (module_ != nullptr) platform::freeLibrary(module_);
    }
    Wavelib2Library(const Wavelib2Library&) = delete;
    Wavelib2Library& operator=(const Wavelib2Library&) = delete;

    bool loaded() const { return module_ != nullptr && request_ != nullptr; }
    platform::Module module() const { return module_; }
    void* request(TableCell* table, std::uint32_t size, const char* name) const {
        return request_(table, size, name);
    }
    WaveProcessorTable11 table11() const {
        WaveProcessorTable11 t{};
        request(reinterpret_cast<TableCell*>(&t), sizeof(t), kWaveProcessorTable11Name);
        return t;
    }
    WaveProcessorTable10 table10() const {
        WaveProcessorTable10 t{};
        request(reinterpret_cast<TableCell*>(&t), sizeof(t), kWaveProcessorTable10Name);
        return t;
    }

  private:
    platform::Module module_ = nullptr;
    TableRequest3 request_ = nullptr;
};
