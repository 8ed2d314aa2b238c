#include "probe_core/record/probe_contents.h"

#include <bit>

namespace probe {

namespace {

std::string textOf(const Stroka& cell) {
    return cell.text ? std::string(cell.text) : std::string();
}

std::vector<std::string> linesOf(const Spisok& cell) {
    std::vector<std::string> lines;
    if (cell.count == 0 || cell.lines == nullptr) return lines;
    for (std::uint32_t i = 0; i < cell.count; ++i)
        lines.push_back(cell.lines[i] ? std::string(cell.lines[i]) : std::string());
    return lines;
}

extern "C" const char* PLUGIN_CALL heldText(std::int32_t, void* context) {
    return static_cast<const std::string*>(context)->c_str();
}

extern "C" const char* PLUGIN_CALL heldLine(std::int32_t index, void* context) {
    const auto& lines = *static_cast<const std::vector<std::string>*>(context);
    if (index < 0 || static_cast<std::size_t>(index) >= lines.size()) return "";
    return lines[static_cast<std::size_t>(index)].c_str();
}

void putText(const contracts::ProbeStoreApi& store, Stroka& cell, const std::string& text) {
    if (store.UdalitStroku == nullptr || store.SozdatStroku == nullptr) return;
    store.UdalitStroku(&cell);
    store.SozdatStroku(&cell, &heldText, const_cast<std::string*>(&text));
}

void putLines(const contracts::ProbeStoreApi& store, Spisok& cell,
              const std::vector<std::string>& lines) {
    if (store.UdalitSpisok == nullptr || store.SozdatSpisok == nullptr) return;
    store.UdalitSpisok(&cell);
    store.SozdatSpisok(&cell, &heldLine, static_cast<std::uint32_t>(lines.size()),
                       const_cast<std::vector<std::string>*>(&lines));
}

}  // namespace

ProbeContents contentsOf(const ProbeRecord& r) {
    ProbeContents c;
    c.Piezoelementi = r.Piezoelementi;
    c.Fokusirovka = r.Fokusirovka;
    c.Otklonenie = r.Otklonenie;
    c.Skanirovanie = r.Skanirovanie;
    c.Obrabotka = linesOf(r.Obrabotka);
    c.Proizvoditel = textOf(r.Proizvoditel);
    c.Model = textOf(r.Model);
    c.Nazvanie = textOf(r.Nazvanie);
    c.Cena = r.Cena;
    c.Pribori = linesOf(r.Pribori);
    c.Data = std::bit_cast<std::uint64_t>(r.Data);
    c.RKIP1 = std::bit_cast<std::uint64_t>(r.RKIP1);
    c.RKIP2 = std::bit_cast<std::uint64_t>(r.RKIP2);
    c.TP = std::bit_cast<std::uint64_t>(r.TP);
    c.OCHIP = std::bit_cast<std::uint64_t>(r.OCHIP);
    c.MU = std::bit_cast<std::uint64_t>(r.MU);
    c.Parametri = linesOf(r.Parametri);
    c.IFsP = textOf(r.IFsP);
    c.IIP = textOf(r.IIP);
    c.IIIP = textOf(r.IIIP);
    c.IIPP = textOf(r.IIPP);
    c.MasshtabProstranstva = r.MasshtabProstranstva;
    return c;
}

void restoreContents(const contracts::ProbeStoreApi& store, ProbeRecord& r,
                     const ProbeContents& c) {
    r.Piezoelementi = c.Piezoelementi;
    r.Fokusirovka = c.Fokusirovka;
    r.Otklonenie = c.Otklonenie;
    r.Skanirovanie = c.Skanirovanie;
    putLines(store, r.Obrabotka, c.Obrabotka);
    putText(store, r.Proizvoditel, c.Proizvoditel);
    putText(store, r.Model, c.Model);
    putText(store, r.Nazvanie, c.Nazvanie);
    r.Cena = c.Cena;
    putLines(store, r.Pribori, c.Pribori);
    r.Data = std::bit_cast<double>(c.Data);
    r.RKIP1 = std::bit_cast<double>(c.RKIP1);
    r.RKIP2 = std::bit_cast<double>(c.RKIP2);
    r.TP = std::bit_cast<double>(c.TP);
    r.OCHIP = std::bit_cast<double>(c.OCHIP);
    r.MU = std::bit_cast<double>(c.MU);
    putLines(store, r.Parametri, c.Parametri);
    putText(store, r.IFsP, c.IFsP);
    putText(store, r.IIP, c.IIP);
    putText(store, r.IIIP, c.IIIP);
    putText(store, r.IIPP, c.IIPP);
    r.MasshtabProstranstva = c.MasshtabProstranstva;
}

}  // namespace probe
