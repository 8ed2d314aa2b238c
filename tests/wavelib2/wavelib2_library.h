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
    Wavelib2Library() : modul_(platform::loadLibrary("wavelib2.dll")) {
        if (modul_ != nullptr) {
            zapros_ = reinterpret_cast<TableRequest3>(
                platform::findExport(modul_, "PoluchitTablicuFunkciyPoImeni"));
        }
    }
    ~Wavelib2Library() {
        if (modul_ != nullptr) platform::freeLibrary(modul_);
    }
    Wavelib2Library(const Wavelib2Library&) = delete;
    Wavelib2Library& operator=(const Wavelib2Library&) = delete;

    bool loaded() const { return modul_ != nullptr && zapros_ != nullptr; }
    platform::Module module() const { return modul_; }
    void* request(TableCell* table, std::uint32_t size, const char* name) const {
        return zapros_(table, size, name);
    }
    TablicaVolny11 table11() const {
        TablicaVolny11 t{};
        request(reinterpret_cast<TableCell*>(&t), sizeof(t), kImyaTablicy11);
        return t;
    }
    TablicaVolny10 table10() const {
        TablicaVolny10 t{};
        request(reinterpret_cast<TableCell*>(&t), sizeof(t), kImyaTablicy10);
        return t;
    }

  private:
    platform::Module modul_ = nullptr;
    TableRequest3 zapros_ = nullptr;
};
