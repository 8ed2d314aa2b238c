#include "suite/probestore/text_store.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

namespace probestore {

TextStore::~TextStore() {
    arrays_.forEach(
        [](const void* lines, std::uint32_t) { delete[] static_cast<char* const*>(lines); });
    texts_.forEach(
        [](const void* text, std::uint32_t) { delete[] static_cast<const char*>(text); });
}

char* TextStore::copyText(std::string_view text) {
    auto copy = std::make_unique_for_overwrite<char[]>(text.size() + 1);
    if (!text.empty()) std::memcpy(copy.get(), text.data(), text.size());
    copy[text.size()] = '\0';
    texts_.insert(copy.get(), 0);
    return copy.release();
}

char** TextStore::newLineArray(std::uint32_t count) {
    auto lines = std::make_unique<char*[]>(count);  // value-initialised: all null
    arrays_.insert(lines.get(), count);
    return lines.release();
}

void TextStore::releaseText(char* text) noexcept {
    if (texts_.erase(text)) delete[] text;
}

void TextStore::releaseLineArray(char** lines) noexcept {
    std::uint32_t count = 0;
    if (!arrays_.find(lines, &count)) return;
    for (std::uint32_t i = 0; i < count; ++i) releaseText(lines[i]);
    arrays_.erase(lines);
    delete[] lines;
}

bool TextStore::createTextCell(Stroka* field, TextCallback text, void* context) {
    if (field == nullptr) return false;
    releaseTextCell(field);
    if (text == nullptr) return false;
    const char* value = text(0, context);
    field->text = copyText(value != nullptr ? value : "");
    return true;
}

bool TextStore::releaseTextCell(Stroka* field) noexcept {
    if (field == nullptr) return false;
    releaseText(field->text);
    field->text = nullptr;
    return true;
}

bool TextStore::createListCell(Spisok* field, TextCallback line, std::uint32_t count,
                               void* context) {
    if (field == nullptr) return false;
    releaseListCell(field);
    if (count == 0) return true;
    if (line == nullptr || count > kMaxListLines) return false;
    char** lines = newLineArray(count);
    try {
        // Each result is copied before the callback is asked again: it may reuse its buffer.
        for (std::uint32_t i = 0; i < count; ++i) {
            const char* value = line(static_cast<std::int32_t>(i), context);
            lines[i] = copyText(value != nullptr ? value : "");
        }
    } catch (...) {
        releaseLineArray(lines);
        throw;
    }
    field->lines = lines;
    field->count = count;
    return true;
}

bool TextStore::releaseListCell(Spisok* field) noexcept {
    if (field == nullptr) return false;
    releaseLineArray(field->lines);
    field->lines = nullptr;
    field->count = 0;
    return true;
}

std::uint32_t TextStore::readableLines(const Spisok& list) const {
    if (list.lines == nullptr) return 0;
    std::uint32_t made = 0;
    return arrays_.find(list.lines, &made) ? std::min(list.count, made) : list.count;
}

void TextStore::releaseRecordTexts(ProbeRecord& r) noexcept {
    for (Stroka* s : {&r.Proizvoditel, &r.Model, &r.Nazvanie, &r.IFsP, &r.IIP, &r.IIIP, &r.IIPP})
        releaseTextCell(s);
    for (Spisok* l : {&r.Obrabotka, &r.Pribori, &r.Parametri}) releaseListCell(l);
}

}  // namespace probestore
