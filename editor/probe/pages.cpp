#include "editor/probe/pages.h"
#include "abi/surfarch.h"
#include "abi/surfstore.h"

#include <algorithm>
#include <cstddef>

#include "editor/probe/page_items.h"
#include "editor/probe/text_transfer.h"
#include "platform/cp1251.h"

namespace probe {

// ---- word pages (1 to 4) ----

void WordPage::loadWord() {
    ProbeRecord* record = selection_.current;
    if (record == nullptr) return;
    Tag |= 1u;
    const std::uint32_t word = record->*word_;
    for (std::size_t i = 0; i < bindings_.size() && i < fields_.size(); ++i) {
        const std::uint32_t value = extractSubField(word, fields_[i]);
        const Binding& b = bindings_[i];
        if (b.list) b.list->setPosition(positionFromValue(value, b.itemCount));
        if (b.box) b.box->setChecked(value != 0);
    }
    Tag &= ~1u;
}

void WordPage::storeWord() {
    ProbeRecord* record = selection_.current;
    if (record == nullptr || loading()) return;
    // Rebuilt from zero: bits outside the page's sub-fields never survive a store.
    std::uint32_t word = 0;
    for (std::size_t i = 0; i < bindings_.size() && i < fields_.size(); ++i) {
        const Binding& b = bindings_[i];
        std::uint32_t value = 0;
        if (b.list) {
            const int position = b.list->position();
            value = valueFromPosition(position < b.itemCount ? position : -1);
        }
        if (b.box) value = b.box->checked() ? 1u : 0u;
        word |= placeSubField(value, fields_[i]);
    }
    record->*word_ = word;
}

PiezoelementiPage::PiezoelementiPage(ProbeSelection& selection, const PiezoelementiControls& c)
    : WordPage(selection, &ProbeRecord::Piezoelementi, kPiezoelementiFields) {
    // The order of kPiezoelementiFields: the receivers' access method comes after both
    // interface types.
    bindList(*c.cbKDpC, static_cast<int>(items::kKDpC.size()));
    bindList(*c.cbKDpKP, static_cast<int>(items::kKDpKP.size()));
    bindList(*c.cbKDpRIP, static_cast<int>(items::kKDpRIP.size()));
    bindList(*c.cbKDpFIP1, static_cast<int>(items::kKDpFIP.size()));
    bindList(*c.cbKDpFIP2, static_cast<int>(items::kKDpFIP.size()));
    bindList(*c.cbLSK, static_cast<int>(items::kLSK.size()));
    bindList(*c.cbSDkPI, static_cast<int>(items::kSDkP.size()));
    bindList(*c.cbTIPBI, static_cast<int>(items::kTIPB.size()));
    bindList(*c.cbTIPBP, static_cast<int>(items::kTIPB.size()));
    bindList(*c.cbSDkPP, static_cast<int>(items::kSDkP.size()));
}

FokusirovkaPage::FokusirovkaPage(ProbeSelection& selection, const FokusirovkaControls& c)
    : WordPage(selection, &ProbeRecord::Fokusirovka, kFokusirovkaFields) {
    bindList(*c.cbKL, static_cast<int>(items::kKL.size()));
    bindList(*c.cbSSL, static_cast<int>(items::kSSL.size()));
    bindBox(*c.ckSAL);
    bindBox(*c.ckMSAL);
    bindBox(*c.ckVFIP1);
    bindBox(*c.ckVFIP2);
    bindBox(*c.ckVSDF);
}

OtkloneniePage::OtkloneniePage(ProbeSelection& selection, const OtklonenieControls& c)
    : WordPage(selection, &ProbeRecord::Otklonenie, kOtklonenieFields) {
    for (CheckBox* box : {c.ckEP, c.ck2VFIP1, c.ck2VFIP2, c.ckVoFIP1, c.ckVoFIP2, c.ckVSDO})
        bindBox(*box);
}

SkanirovaniePage::SkanirovaniePage(ProbeSelection& selection, const SkanirovanieControls& c)
    : WordPage(selection, &ProbeRecord::Skanirovanie, kSkanirovanieFields) {
    for (CheckBox* box : {c.ckVSUP, c.ckVSUPV, c.ckVSUDO, c.ckVSUDF, c.ckVSUMSAL}) bindBox(*box);
}

// ---- page 5 ----

void ObrabotkaPage::tbObrabotkaShow() {
    ProbeRecord* record = selection_.current;
    if (record == nullptr) return;
    loadSpisok(record->Obrabotka, mSPO_);
}

void ObrabotkaPage::tbObrabotkaHide() {
    ProbeRecord* record = selection_.current;
    if (record == nullptr) return;
    storeSpisok(store_, record->Obrabotka, mSPO_);
}

// ---- page 6 ----

void IdentifikaciyaPage::tbIdentifikacionnayaInformaciyaShow() {
    ProbeRecord* record = selection_.current;
    if (record == nullptr) return;
    loadSpisok(record->Pribori, *c_.mPribori);
    loadStroka(record->Proizvoditel, *c_.cbProizvoditel);
    loadStroka(record->Model, *c_.cbModel);
    loadStroka(record->Nazvanie, *c_.cbNazvanie);
    c_.cbCena->setText(cenaVTekst(record->Cena));
    c_.cbData->setText(dataVTekst(record->Data, locale_));
}

void IdentifikaciyaPage::tbIdentifikacionnayaInformaciyaHide() {
    ProbeRecord* record = selection_.current;
    if (record == nullptr) return;
    storeSpisok(store_, record->Pribori, *c_.mPribori);
    storeStroka(store_, record->Proizvoditel, *c_.cbProizvoditel);
    storeStroka(store_, record->Model, *c_.cbModel);
    storeStroka(store_, record->Nazvanie, *c_.cbNazvanie);
    record->Cena = tekstVCenu(c_.cbCena->text());
    record->Data = tekstVDenNomer(c_.cbData->text(), locale_, today_());
}

void IdentifikaciyaPage::bnDataClick() {
    const auto today = today_();
    const double todayNumber = dayNumber(today);
    const double shown = tekstVDenNomer(c_.cbData->text(), locale_, today);
    if (todayNumber <= shown) return;
    c_.cbData->setText(dataVTekst(todayNumber, locale_));
    tbIdentifikacionnayaInformaciyaHide();  // cbData's exit handler
}

// ---- page 7 ----

void ParametriPage::tsParametriShow() {
    ProbeRecord* record = selection_.current;
    if (record == nullptr) return;
    c_.cbRKIP1->setText(chisloVTekst(record->RKIP1, locale_));
    c_.cbRKIP2->setText(chisloVTekst(record->RKIP2, locale_));
    c_.cbOCHIP->setText(chisloVTekst(record->OCHIP, locale_));
    c_.cbTP->setText(chisloVTekst(record->TP, locale_));
    c_.cbMU->setText(chisloVTekst(record->MU, locale_));
    loadSpisok(record->Parametri, *c_.mParametri);
}

void ParametriPage::tsParametriHide() {
    ProbeRecord* record = selection_.current;
    if (record == nullptr) return;
    storeSpisok(store_, record->Parametri, *c_.mParametri);
    record->RKIP1 = tekstVChislo(c_.cbRKIP1->text(), locale_);
    record->RKIP2 = tekstVChislo(c_.cbRKIP2->text(), locale_);
    record->OCHIP = tekstVChislo(c_.cbOCHIP->text(), locale_);
    record->TP = tekstVChislo(c_.cbTP->text(), locale_);
    record->MU = tekstVChislo(c_.cbMU->text(), locale_);
}

// ---- page 8 ----

void ObektiPage::tsObektiShow() {
    ProbeRecord* record = selection_.current;
    if (record == nullptr) return;
    loadStroka(record->IFsP, *c_.cbIFsP);
    loadStroka(record->IIP, *c_.cbIIP);
    loadStroka(record->IIIP, *c_.cbIIIP);
    loadStroka(record->IIPP, *c_.cbIIPP);
    c_.cbMasshtabProstranstva->setPosition(positionFromMasshtab(record->MasshtabProstranstva));
}

void ObektiPage::tsObektiHide() {
    ProbeRecord* record = selection_.current;
    if (record == nullptr) return;
    storeStroka(store_, record->IFsP, *c_.cbIFsP);
    storeStroka(store_, record->IIP, *c_.cbIIP);
    storeStroka(store_, record->IIIP, *c_.cbIIIP);
    storeStroka(store_, record->IIPP, *c_.cbIIPP);
    record->MasshtabProstranstva = masshtabFromPosition(c_.cbMasshtabProstranstva->position());

    if (!surfaces_.ZagruzitBiblioteki(biblioteki::kSurfStore | biblioteki::kSurfArch)) return;
    if (record->IFsP.tekst == nullptr) return;
    PerechislitPoverhnosti(record->IFsP.tekst);
}

// Reads every surface of the file into the keeper and offers the surfaces' names in the lists
// of the three name fields. The libraries stay loaded afterwards.
void ObektiPage::PerechislitPoverhnosti(const char* fileName) {
    namespace k = contracts::keeper;
    namespace a = contracts::archiver;
    const biblioteki::SlotTable& keeper = surfaces_.keeperTable();
    const biblioteki::SlotTable& archiver = surfaces_.archiverTable();
    auto kolichestvo =
        cellAs<a::ZagruzitKolichestvoPoverhnosteyFn>(archiver[a::kZagruzitKolichestvoPoverhnostey]);
    auto parametr1 =
        cellAs<a::ZagruzitParametr1PoverhnostiFn>(archiver[a::kZagruzitParametr1Poverhnosti]);
    auto parametr2 =
        cellAs<a::ZagruzitParametr2PoverhnostiFn>(archiver[a::kZagruzitParametr2Poverhnosti]);
    auto zagruzit = cellAs<a::ZagruzitPoverhnostFn>(archiver[a::kZagruzitPoverhnost]);
    auto videlit =
        cellAs<k::VidelitPamyatDlyaPoverhnosteyFn>(keeper[k::kVidelitPamyatDlyaPoverhnostey]);
    auto podgotovit = cellAs<k::PodgotovitPoverhnostFn>(keeper[k::kPodgotovitPoverhnost]);
    auto spisok = cellAs<k::PoluchitSpisokPoverhnosteyFn>(keeper[k::kPoluchitSpisokPoverhnostey]);
    auto poIndeksu =
        cellAs<k::PoluchitPoverhnostPoIndeksuFn>(keeper[k::kPoluchitPoverhnostPoIndeksu]);
    auto imya = cellAs<k::PoluchitImyaPoverhnostiFn>(keeper[k::kPoluchitImyaPoverhnosti]);
    // A library whose table left an entry empty is treated like one that lists nothing.
    if (!kolichestvo || !parametr1 || !parametr2 || !zagruzit || !videlit || !podgotovit ||
        !spisok || !poIndeksu || !imya)
        return;

    std::uint32_t n = static_cast<std::uint32_t>(kolichestvo(fileName));
    if (n == 0) return;
    if (!isTrue(videlit(n))) return;
    contracts::SurfaceSetDescriptor* set = spisok();
    if (set == nullptr || set->pervaya == nullptr) return;
    // Never walk past the records the keeper says it holds.
    n = std::min(n, set->kolichestvo);
    auto* first = static_cast<unsigned char*>(set->pervaya);
    const std::size_t size = set->razmer;

    for (TextField* field : {c_.cbIIP, c_.cbIIIP, c_.cbIIPP}) field->clearItems();
    for (std::uint32_t i = 0; i < n; ++i) {
        void* record = first + static_cast<std::size_t>(i) * size;
        const std::int32_t p1 = parametr1(fileName, i);
        const std::uint32_t p2 = parametr2(fileName, i);
        podgotovit(poIndeksu(i), p1, p2);
        zagruzit(fileName, record, i);  // a failed read is still listed under the keeper's name
        const char* name = imya(record);
        const std::string text = name ? platform::cp1251ToUtf8(name) : std::string();
        for (TextField* field : {c_.cbIIP, c_.cbIIIP, c_.cbIIPP}) field->addItem(text);
    }
}

// ---- page control ----

void PageControl::switchTo(int index) {
    if (!valid(index)) index = -1;
    if (index == active_) return;
    if (valid(active_)) pages_[active_]->hide();
    active_ = index;
    if (valid(active_)) pages_[active_]->show();
}

void PageControl::storeActivePage() {
    if (valid(active_)) pages_[active_]->hide();
}

void PageControl::loadActivePage() {
    if (valid(active_)) pages_[active_]->show();
}

}  // namespace probe
