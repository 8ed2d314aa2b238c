// The entries of the pages' fixed lists, in list order (UTF-8). A list's position + 1 is what
// the record stores, so the order here is part of the record's encoding.
#pragma once

#include <array>

namespace probe::items {

inline constexpr std::array<const char*, 2> kKDpC{"Одночастотный", "Многочастотный"};
inline constexpr std::array<const char*, 2> kKDpKP{"Одноэлементный", "Многоэлементный"};
inline constexpr std::array<const char*, 4> kKDpRIP{"Точечный", "Линейный", "Кольцевой",
                                                    "Матричный"};
inline constexpr std::array<const char*, 3> kKDpFIP{"Плоский", "Выпуклый", "Вогнутый"};
inline constexpr std::array<const char*, 2> kLSK{"Прямоугольная", "Полярная"};
inline constexpr std::array<const char*, 3> kSDkP{"Одноканальный", "Многоканальный", "Прямой"};
inline constexpr std::array<const char*, 2> kTIPB{"Аналоговый", "Цифровой"};
inline constexpr std::array<const char*, 2> kKL{"Одна", "Набор"};
inline constexpr std::array<const char*, 3> kSSL{"Ручной", "Автоматизированный", "Автоматический"};

}  // namespace probe::items
