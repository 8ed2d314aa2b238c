// What the eight pages show beside their controls (UTF-8): the page captions, the caption of
// every list, box and field, and the units of the quantities. Kept apart from the widgets so
// that every program that shows a probe record names its fields alike.
#pragma once

#include <array>

namespace probe::captions {

// Page captions, in page order.
inline constexpr std::array<const char*, 8> kPages{
    "Пьезоэлектрические преобразователи", "Средства фокусирования излучения",
    "Средства отклонения излучения",      "Средства сканирования",
    "Средства предварительной обработки", "Идентификационная информация",
    "Количественные параметры",           "Объекты функциональной модели"};

// Page 1: the frame around the probe class lists, and the ten lists.
inline constexpr const char* kProbeClassFrame = " [ Класс датчика ] ";
inline constexpr const char* kKDpC = "По частоте излучения:";
inline constexpr const char* kKDpKP = "По количеству пьезоэлементов:";
inline constexpr const char* kKDpRIP = "По размерности излучающей поверхности:";
inline constexpr const char* kKDpFIP1 = "По форме излучающей поверхности (в секущей плоскости 1):";
inline constexpr const char* kKDpFIP2 = "По форме излучающей поверхности (в секущей плоскости 2):";
inline constexpr const char* kLSK = "Локальная система координат:";
inline constexpr const char* kSDkPI = "Способ доступа к пьезоэлементам - излучателям:";
inline constexpr const char* kSDkPP = "Способ доступа к пьезоэлементам - приёмникам:";
inline constexpr const char* kTIPBI = "Тип интерфейса \"пьезоэлемент - блок излучения\":";
inline constexpr const char* kTIPBP = "Тип интерфейса \"пьезоэлемент - блок приёма\":";

// Page 2. The first letter of kSSL is a Latin C, as the page has always shown it.
inline constexpr const char* kSAL = "Система акустических линз (АЛ)";
inline constexpr const char* kKL = "Количество АЛ:";
inline constexpr const char* kMSAL = "Механизм смены АЛ";
inline constexpr const char* kSSL = "Cпособ смены АЛ:";
inline constexpr const char* kVFIP1 =
    "Вогнутая форма излучающей поверхности (в секущей плоскости 1)";
inline constexpr const char* kVFIP2 =
    "Вогнутая форма излучающей поверхности (в секущей плоскости 2)";
inline constexpr const char* kVSDF = "Встроенная схема динамического фокусирования";

// Page 3.
inline constexpr const char* kEP =
    "Электрический привод, на роторе которого закреплены пьезоэлементы";
inline constexpr const char* k2VFIP1 =
    "Выпуклая форма излучающей поверхности (в секущей плоскости 1)";
inline constexpr const char* k2VFIP2 =
    "Выпуклая форма излучающей поверхности (в секущей плоскости 2)";
inline constexpr const char* kVoFIP1 = kVFIP1;
inline constexpr const char* kVoFIP2 = kVFIP2;
inline constexpr const char* kVSDO = "Встроенная схема динамического отклонения";

// Page 4.
inline constexpr const char* kVSUP = "Встроенная схема управления приводом";
inline constexpr const char* kVSUPV = "Встроенная схема управления выбором пьезоэлементов";
inline constexpr const char* kVSUDO = "Встроенная схема управления динамическим отклонением";
inline constexpr const char* kVSUDF = "Встроенная схема управления динамическим фокусированием";
inline constexpr const char* kVSUMSAL =
    "Встроенная схема управления механизмом смены акустических линз";

// Page 6.
inline constexpr const char* kProizvoditel = "Производитель:";
inline constexpr const char* kModel = "Модель:";
inline constexpr const char* kNazvanie = "Название:";
inline constexpr const char* kCena = "Ориентировочная цена:";
inline constexpr const char* kPribori = "Совместим с приборами:";
inline constexpr const char* kData = "Дата последнего обновления:";
inline constexpr const char* kBnData = "Обновить";

// Page 7: each quantity's caption and the unit shown to its right.
inline constexpr const char* kRKIP1 =
    "Радиус кривизны излучающей поверхности (в секущей плоскости 1):";
inline constexpr const char* kRKIP2 =
    "Радиус кривизны излучающей поверхности (в секущей плоскости 2):";
inline constexpr const char* kOCHIP = "Основная частота излучения пьезоэлемента:";
inline constexpr const char* kTP = "Толщина пьезоэлемента:";
inline constexpr const char* kMU = "Угловая ширина диаграммы направленности:";
inline constexpr const char* kParametri =
    "Прочие параметры (формат строки: <имя параметра = значение>):";
inline constexpr const char* kUnitMetre = "м";
inline constexpr const char* kUnitHertz = "Гц";
inline constexpr const char* kUnitDegree = "°";

// Page 8.
inline constexpr const char* kIFsP = "Имя файла с поверхностями датчика:";
inline constexpr const char* kIIP = "Имя излучающей поверхности:";
inline constexpr const char* kIIIP = "Имя индикатрисы направленности пьезоэлемента:";
inline constexpr const char* kIIPP = "Имя индикатрисы приёма пьезоэлемента:";
inline constexpr const char* kMasshtabProstranstva = "Масштаб поверхностей:";

}  // namespace probe::captions
