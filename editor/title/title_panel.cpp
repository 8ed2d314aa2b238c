#include "editor/title/title_panel.h"

#include <cstring>
#include <vector>

#include "editor/title/about_texts.h"
#include "editor/title/hidden_store.h"
#include "editor/title/simvoly_preobrazovanie_dvoichnyykod_tekst.h"
#include "editor/title/simvoly_preobrazovanie_shifrovanierazrezheniem.h"
#include "platform/cp1251.h"

namespace title {

void TitlePanel::showPanel(LineSet& shown, LineSet& hidden) {
    for (TitleLabel* line : hidden) line->setShown(false);
    for (TitleLabel* line : shown) line->setShown(true);
    ui_.setMainPanelVisible(false);
    ui_.setTitlePanelVisible(true);
}

void TitlePanel::pnlNazvanieClick() {
    ui_.setMainPanelVisible(true);
    ui_.setTitlePanelVisible(false);
}

void TitlePanel::bnDataKeyUp(int key) {
    if (key == kVkNumpad5) PokazatNazvanie();
}

TitleLabel& TitlePanel::SozdatNadpis(int x, int y, const std::string& text, int size, bool bold,
                                     bool smallFont) {
    TitleLabel& label = ui_.createLabel();
    label.setCaption(text);
    if (bold) label.setBold();
    if (smallFont) label.setFontName(kSmallFonts);
    label.setCentred();
    label.setFontSize(size);
    label.setAutoSize(true);
    label.setLeft(x - label.width() / 2);
    label.setTop(y);
    label.setWordWrap(true);
    label.setClickHandler([this] { pnlNazvanieClick(); });
    label.insertIntoPanel();
    return label;
}

TitlePanel::LineSet TitlePanel::buildLines(const std::array<std::string, 11>& texts) {
    LineSet lines;
    const int x = ui_.titlePanelWidth() / 2;
    int y = kFirstTop;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const LineLayout& row = kLineLayout[i];
        y += row.gap;
        TitleLabel& line = SozdatNadpis(x, y, texts[i], row.size, row.bold, row.smallFont);
        y += line.height();
        lines.push_back(&line);
    }
    return lines;
}

std::array<std::string, 11> TitlePanel::restoreHiddenTexts() {
    // A work copy of the store: the restored text is written over the start of each slot.
    std::vector<char> work(sizeof kHiddenStore);
    std::memcpy(work.data(), kHiddenStore, sizeof kHiddenStore);
    std::array<std::string, 11> texts;
    std::uint8_t temporary[kHiddenSlotSize] = {};  // a malformed slot reads no uninitialised byte
    for (int i = 0; i < kHiddenSlots; ++i) {
        char* slot = work.data() + static_cast<std::size_t>(i) * kHiddenSlotSize;
        const auto length = static_cast<std::uint32_t>(strnlen(slot, kHiddenSlotSize));
        std::uint32_t capacity = length / 2;
        PreobrazovatTekstVKod(temporary, capacity, slot, length);
        capacity = length / 4;
        auto* restored = reinterpret_cast<std::uint8_t*>(slot);
        RasshifrovatRazrezhenie(restored, capacity, temporary, length / 2);
        // Only the restored bytes count, so that a slot without its NUL shows no hex digits.
        texts[static_cast<std::size_t>(i)] =
            platform::cp1251ToUtf8(std::string_view(slot, strnlen(slot, length / 4)));
    }
    return texts;
}

void TitlePanel::PokazatNazvanie() {
    showPanel(titleLines_, aboutLines_);
    if (!titleNotBuilt_) return;
    titleNotBuilt_ = false;
    titleLines_ = buildLines(restoreHiddenTexts());
}

void TitlePanel::N3Click() {
    showPanel(aboutLines_, titleLines_);
    if (!aboutNotBuilt_) return;
    aboutNotBuilt_ = false;
    std::array<std::string, 11> texts;
    for (std::size_t i = 0; i < texts.size(); ++i) texts[i] = kAboutTexts[i];
    aboutLines_ = buildLines(texts);
}

}  // namespace title
