// The plain wording of the hidden title lines (UTF-8), read only by the store's generator and by
// the test that decodes the store. The program itself carries the encoded store alone.
#pragma once

namespace title {

inline constexpr const char* kHiddenTextsPlain[11] = {
    "Редактор ЖУВ: описания пьезоэлектрических преобразователей",
    "Сборка для исследовательских стендов",
    "Над программой работали:",
    "П. П. Примеров, С. С. Образцова, Т. Т. Тестов",
    "Особая благодарность:",
    "всем, кто проверял первые файлы датчиков",
    "и терпеливо ждал кнопки «Завершить»",
    "ПОСВЯЩАЕТСЯ",
    "ультразвуку, который проходит сквозь всё, кроме равнодушия",
    "Эти строки хранятся в программе в скрытом виде",
    "г. Примерск, 2026",
};

}  // namespace title
