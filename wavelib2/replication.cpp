// Replication of a pattern set at every ray of a placement set (entry 11).
#include <cstdint>
#include <cstring>
#include <limits>

#include "abi/placement_tables.h"
#include "wavelib2/makrosi.h"

namespace wavelib2 {

BoolByte PLUGIN_CALL RazmnozhitNabor(NaborVoln* sbor, NaborVoln* a, NaborVoln* b, NaborVoln* q,
                                     TableCell* razmeshchenie, TableCell* hranenie) {
    if (sbor == nullptr || a == nullptr || b == nullptr || q == nullptr ||
        razmeshchenie == nullptr || hranenie == nullptr) {
        return kFalse;
    }
    // The work set and the collection are emptied and refilled while the placement and pattern
    // sets are read, so they must be sets of their own.
    if (q == sbor || q == a || q == b || sbor == a || sbor == b) return kFalse;

    const auto sdvinut = cellAs<RazmestitFn>(razmeshchenie[kYacheykaSdvig]);
    auto* sdvig = static_cast<ZapisSdviga*>(razmeshchenie[kYacheykaZapisSdviga]);
    const auto povernut = cellAs<RazmestitFn>(razmeshchenie[kYacheykaPovorot]);
    auto* povorot = static_cast<ZapisOrientacii*>(razmeshchenie[kYacheykaZapisPovorota]);
    const auto zarezervirovat = cellAs<ZarezervirovatFn>(hranenie[kVhodZarezervirovat]);
    const auto osvobodit = cellAs<OsvoboditFn>(hranenie[kVhodOsvobodit]);
    const DobavitNaborFn dobavit = Tablica10().dobavitNabor;
    if (sdvinut == nullptr || sdvig == nullptr || povernut == nullptr || povorot == nullptr ||
        zarezervirovat == nullptr || osvobodit == nullptr || dobavit == nullptr) {
        return kFalse;
    }

    const std::uint32_t nA = a->chislo;
    const std::uint32_t nB = b->chislo;
    if (nA != 0 && a->luchi == nullptr) return kFalse;
    // The collection's room is counted in 32 bits: a product that does not fit would reserve too
    // little room for the copies.
    const std::uint64_t vsego = std::uint64_t{nA} * nB;
    if (vsego > std::numeric_limits<std::uint32_t>::max()) return kFalse;

    if (!isTrue(zarezervirovat(q, nB, 0))) return kFalse;
    if (!isTrue(zarezervirovat(sbor, static_cast<std::uint32_t>(vsego), 0))) return kFalse;

    const double nol[3] = {0.0, 0.0, 0.0};
    std::memcpy(povorot->tochka, nol, sizeof(nol));
    povorot->opciya1 = 0;
    povorot->opciya2 = 1;
    povorot->opciya3 = 0;
    sdvig->flag = 1;
    std::memcpy(sdvig->tochka1, nol, sizeof(nol));

    for (std::uint32_t k = 0; k < nA; ++k) {
        const Luch& luch = a->luchi[k];
        std::memcpy(sdvig->tochka2, luch.nachalo, sizeof(luch.nachalo));
        sdvinut(q, b);
        std::memcpy(povorot->vektor, luch.napravlenie, sizeof(luch.napravlenie));
        povernut(q, q);
        const ZapisSbora zapis{q, 1, q->slovo0};
        dobavit(sbor, &zapis);
    }

    osvobodit(q);
    std::memcpy(sbor->istochnik, a->istochnik, sizeof(a->istochnik));
    return kTrue;
}

}  // namespace wavelib2
