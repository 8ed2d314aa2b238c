#include "editor/probe/pages.h"

#include <algorithm>
#include <cstddef>

#include "editor/probe/surface_files.h"
#include "editor/probe/text_transfer.h"
#include "platform/cp1251.h"
#include "probe_core/record/page_items.h"

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

TransducersPage::TransducersPage(ProbeSelection& selection, const TransducersControls& c)
    : WordPage(selection, &ProbeRecord::Piezoelementi, kTransducersFields) {
    // The order of kTransducersFields: the receivers' access method comes after both
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

FocusingPage::FocusingPage(ProbeSelection& selection, const FocusingControls& c)
    : WordPage(selection, &ProbeRecord::Fokusirovka, kFocusingFields) {
    bindList(*c.cbKL, static_cast<int>(items::kKL.size()));
    bindList(*c.cbSSL, static_cast<int>(items::kSSL.size()));
    bindBox(*c.ckSAL);
    bindBox(*c.ckMSAL);
    bindBox(*c.ckVFIP1);
    bindBox(*c.ckVFIP2);
    bindBox(*c.ckVSDF);
}

DeflectionPage::DeflectionPage(ProbeSelection& selection, const DeflectionControls& c)
    : WordPage(selection, &ProbeRecord::Otklonenie, kDeflectionFields) {
    for (CheckBox* box : {c.ckEP, c.ck2VFIP1, c.ck2VFIP2, c.ckVoFIP1, c.ckVoFIP2, c.ckVSDO})
        bindBox(*box);
}

ScanningPage::ScanningPage(ProbeSelection& selection, const ScanningControls& c)
    : WordPage(selection, &ProbeRecord::Skanirovanie, kScanningFields) {
    for (CheckBox* box : {c.ckVSUP, c.ckVSUPV, c.ckVSUDO, c.ckVSUDF, c.ckVSUMSAL}) bindBox(*box);
}

// ---- page 5 ----

void PreprocessingPage::tbObrabotkaShow() {
    ProbeRecord* record = selection_.current;
    if (record == nullptr) return;
    loadListCell(record->Obrabotka, mSPO_);
}

void PreprocessingPage::tbObrabotkaHide() {
    ProbeRecord* record = selection_.current;
    if (record == nullptr) return;
    storeListCell(store_, record->Obrabotka, mSPO_);
}

// ---- page 6 ----

void IdentificationPage::tbIdentifikacionnayaInformaciyaShow() {
    ProbeRecord* record = selection_.current;
    if (record == nullptr) return;
    loadListCell(record->Pribori, *c_.mPribori);
    loadTextCell(record->Proizvoditel, *c_.cbProizvoditel);
    loadTextCell(record->Model, *c_.cbModel);
    loadTextCell(record->Nazvanie, *c_.cbNazvanie);
    c_.cbCena->setText(priceToText(record->Cena));
    c_.cbData->setText(dateToText(record->Data, locale_));
}

void IdentificationPage::tbIdentifikacionnayaInformaciyaHide() {
    ProbeRecord* record = selection_.current;
    if (record == nullptr) return;
    storeListCell(store_, record->Pribori, *c_.mPribori);
    storeTextCell(store_, record->Proizvoditel, *c_.cbProizvoditel);
    storeTextCell(store_, record->Model, *c_.cbModel);
    storeTextCell(store_, record->Nazvanie, *c_.cbNazvanie);
    record->Cena = textToPrice(c_.cbCena->text());
    record->Data = textToDayNumber(c_.cbData->text(), locale_, today_());
}

void IdentificationPage::bnDataClick() {
    const auto today = today_();
    const double todayNumber = dayNumber(today);
    const double shown = textToDayNumber(c_.cbData->text(), locale_, today);
    if (todayNumber <= shown) return;
    c_.cbData->setText(dateToText(todayNumber, locale_));
    tbIdentifikacionnayaInformaciyaHide();  // cbData's exit handler
}

// ---- page 7 ----

void ParametersPage::tsParametriShow() {
    ProbeRecord* record = selection_.current;
    if (record == nullptr) return;
    c_.cbRKIP1->setText(numberToText(record->RKIP1, locale_));
    c_.cbRKIP2->setText(numberToText(record->RKIP2, locale_));
    c_.cbOCHIP->setText(numberToText(record->OCHIP, locale_));
    c_.cbTP->setText(numberToText(record->TP, locale_));
    c_.cbMU->setText(numberToText(record->MU, locale_));
    loadListCell(record->Parametri, *c_.mParametri);
}

void ParametersPage::tsParametriHide() {
    ProbeRecord* record = selection_.current;
    if (record == nullptr) return;
    storeListCell(store_, record->Parametri, *c_.mParametri);
    record->RKIP1 = textToNumber(c_.cbRKIP1->text(), locale_);
    record->RKIP2 = textToNumber(c_.cbRKIP2->text(), locale_);
    record->OCHIP = textToNumber(c_.cbOCHIP->text(), locale_);
    record->TP = textToNumber(c_.cbTP->text(), locale_);
    record->MU = textToNumber(c_.cbMU->text(), locale_);
}

// ---- page 8 ----

void ModelObjectsPage::tsObektiShow() {
    ProbeRecord* record = selection_.current;
    if (record == nullptr) return;
    loadTextCell(record->IFsP, *c_.cbIFsP);
    loadTextCell(record->IIP, *c_.cbIIP);
    loadTextCell(record->IIIP, *c_.cbIIIP);
    loadTextCell(record->IIPP, *c_.cbIIPP);
    c_.cbMasshtabProstranstva->setPosition(positionFromScale(record->MasshtabProstranstva));
}

void ModelObjectsPage::tsObektiHide() {
    listing_ = {};
    ProbeRecord* record = selection_.current;
    if (record == nullptr) return;
    storeTextCell(store_, record->IFsP, *c_.cbIFsP);
    storeTextCell(store_, record->IIP, *c_.cbIIP);
    storeTextCell(store_, record->IIIP, *c_.cbIIIP);
    storeTextCell(store_, record->IIPP, *c_.cbIIPP);
    record->MasshtabProstranstva = scaleFromPosition(c_.cbMasshtabProstranstva->position());

    if (!surfaces_.ZagruzitBiblioteki(biblioteki::kSurfStore | biblioteki::kSurfArch)) return;
    if (record->IFsP.text == nullptr) return;
    listSurfaces(record->IFsP.text);
}

// Reads every surface of the file into the keeper and offers the surfaces' names in the lists
// of the three name fields. The libraries stay loaded afterwards.
void ModelObjectsPage::listSurfaces(const std::string& named) {
    const LocatedSurfaceFile located = locateSurfaceFile(
        named, selection_.loadedFromFolder,
        [this](const char* name) { return surfaces_.ZagruzitKolichestvoPoverhnostey(name); });
    const char* fileName = located.fileName.c_str();
    listing_.ran = true;
    listing_.fileName = located.fileName;
    // A negative count is the archiver's failure, not a number of surfaces to make room for.
    if (located.surfaces <= 0) return;
    std::uint32_t n = static_cast<std::uint32_t>(located.surfaces);
    listing_.count = n;
    if (!surfaces_.VidelitPamyatDlyaPoverhnostey(n)) return;
    contracts::SurfaceSetDescriptor* set = surfaces_.PoluchitSpisokPoverhnostey();
    if (set == nullptr || set->firstRecord == nullptr) return;
    // Never walk past the records the keeper says it holds.
    n = std::min(n, set->count);

    for (TextField* field : {c_.cbIIP, c_.cbIIIP, c_.cbIIPP}) field->clearItems();
    for (std::uint32_t i = 0; i < n; ++i) {
        const SurfaceRead surface = readSurface(surfaces_, *set, fileName, i, i);
        // A failed read is still listed under the keeper's name.
        if (surface.read) ++listing_.read;
        const char* name = surfaces_.PoluchitImyaPoverhnosti(surface.record);
        const std::string text = name ? platform::cp1251ToUtf8(name) : std::string();
        for (TextField* field : {c_.cbIIP, c_.cbIIIP, c_.cbIIPP}) field->addItem(text);
    }
}

// ---- page control ----

void PageControl::switchTo(int index) {
    if (!valid(index)) index = -1;
    if (index == active_) return;
    if (valid(active_)) pages_[static_cast<std::size_t>(active_)]->hide();
    active_ = index;
    if (valid(active_)) pages_[static_cast<std::size_t>(active_)]->show();
}

void PageControl::storeActivePage() {
    if (valid(active_)) pages_[static_cast<std::size_t>(active_)]->hide();
}

void PageControl::loadActivePage() {
    if (valid(active_)) pages_[static_cast<std::size_t>(active_)]->show();
}

}  // namespace probe
