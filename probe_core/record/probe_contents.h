// What the editor shows and stores of a probe record, as values. A record's texts and lists are
// the probe store's, so a copy of a record is a copy of its contents: this one compares records
// across the store's re-allocations and puts a record back as it was.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "abi/probe_record.h"
#include "abi/probestore.h"

namespace probe {

struct ProbeContents {
    std::uint32_t Piezoelementi = 0, Fokusirovka = 0, Otklonenie = 0, Skanirovanie = 0;
    std::vector<std::string> Obrabotka;  // texts and lines as the store keeps them (cp1251)
    std::string Proizvoditel, Model, Nazvanie;
    std::int32_t Cena = 0;
    std::vector<std::string> Pribori;
    // Quantities by their bits, so that equal contents compare equal whatever they hold.
    std::uint64_t Data = 0, RKIP1 = 0, RKIP2 = 0, TP = 0, OCHIP = 0, MU = 0;
    std::vector<std::string> Parametri;
    std::string IFsP, IIP, IIIP, IIPP;
    std::int32_t MasshtabProstranstva = 0;

    bool operator==(const ProbeContents&) const = default;
};

ProbeContents contentsOf(const ProbeRecord& record);
// Puts `contents` into a record of the store: plain fields in place, texts and lists through the
// store, as the pages store them.
void restoreContents(const contracts::ProbeStoreApi& store, ProbeRecord& record,
                     const ProbeContents& contents);

}  // namespace probe
