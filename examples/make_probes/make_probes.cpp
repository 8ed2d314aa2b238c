// Writes the sample probe file through the probe store, as the editor would:
//
//   make_probes [output.dt]        (default: probes.dt; an existing file is replaced)
//
// Six probes: a single-element contact probe, a dual-frequency angle probe, a linear phased
// array, a ring array, a matrix array and an immersion probe with a concave lens. Their
// functional-model objects name the surfaces of the sample surface file "probe_surfaces.pv" (an
// emitting surface of each probe's own shape, and the patterns they share),
// which is given in millimetres (scale exponent -3).
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include "abi/probestore.h"
#include "platform/cp1251.h"
#include "platform/dynlib.h"
#include "platform/files.h"
#include "probe_core/record/record_cells.h"
#include "probe_core/record/staged_record.h"

namespace {

using namespace std::chrono;

// One sample probe as a person would describe it (UTF-8); the record is made from it below.
struct Sample {
    std::uint32_t transducers, focusing, deflection, scanning;
    std::vector<std::string> preprocessing;
    std::string manufacturer, model, name;
    std::int32_t price;
    std::vector<std::string> instruments;
    year_month_day updated;
    double radius1, radius2, thickness, frequency;
    std::vector<std::string> otherParameters;
    double angularWidth;
};

// The transducers word: each argument is the list position plus one (0 = not chosen).
constexpr std::uint32_t piezo(unsigned frequencies, unsigned elements, unsigned shape,
                              unsigned form1, unsigned form2, unsigned coordinates,
                              unsigned accessSend, unsigned interfaceSend,
                              unsigned interfaceReceive, unsigned accessReceive) {
    return frequencies | elements << 2 | shape << 4 | form1 << 8 | form2 << 10 | coordinates << 12 |
           accessSend << 14 | interfaceSend << 16 | interfaceReceive << 18 | accessReceive << 20;
}
enum : unsigned { kOne = 1, kMany = 2 };
enum : unsigned { kPoint = 1, kLinear = 2, kRing = 3, kMatrix = 4 };
enum : unsigned { kFlat = 1, kConvex = 2, kConcave = 3 };
enum : unsigned { kRectangular = 1, kPolar = 2 };
enum : unsigned { kSingleChannel = 1, kMultiChannel = 2, kDirect = 3 };
enum : unsigned { kAnalog = 1, kDigital = 2 };

// Bits of the focusing, deflection and scanning words.
constexpr std::uint32_t kLensOne = 1, kLensSet = 2, kLensChangeManual = 1 << 2;
constexpr std::uint32_t kLensSystem = 0x10, kLensConcave1 = 0x40, kLensConcave2 = 0x80;
constexpr std::uint32_t kDynamicFocusing = 0x100;
constexpr std::uint32_t kDynamicDeflection = 0x20;
constexpr std::uint32_t kSelectElements = 0x2, kControlDeflection = 0x4, kControlFocusing = 0x8;

double dayNumber(year_month_day date) {
    return static_cast<double>((sys_days{date} - sys_days{1899y / December / 30}).count());
}

// Each probe's emitting surface in the sample surface file, in the order of samples().
constexpr const char* kEmittingSurfaces[] = {
    "Излучающая поверхность",
    "Излучающая поверхность: наклонный преобразователь",
    "Излучающая поверхность: линейная решётка",
    "Излучающая поверхность: кольцевая решётка",
    "Излучающая поверхность: матричная решётка",
    "Излучающая поверхность: линза",
};

const std::vector<Sample>& samples() {
    static const std::vector<Sample> list = {
        {piezo(kOne, kOne, kPoint, kFlat, kFlat, kRectangular, kSingleChannel, kAnalog, kAnalog,
               kSingleChannel),
         0,
         0,
         0,
         {"Усилитель с временной регулировкой чувствительности"},
         "НПО «Акустика»",
         "П111-2,5-К12",
         "Прямой совмещённый преобразователь",
         4800,
         {"Дефектоскоп ДУ-10", "Толщиномер ТУ-3"},
         2024y / March / 15,
         0.0,
         0.0,
         0.8e-3,
         2.5e6,
         {"<диаметр пьезоэлемента = 12 мм>", "<протектор = износостойкая керамика>",
          "<скорость звука в стали = 5920 м/с>"},
         28.0},
        {piezo(kMany, kOne, kPoint, kFlat, kFlat, kRectangular, kSingleChannel, kAnalog, kAnalog,
               kSingleChannel),
         0,
         0,
         0,
         {"Полосовой фильтр 1–6 МГц", "Переключение частоты"},
         "НПО «Акустика»",
         "П121-1,8/5,0-40",
         "Наклонный двухчастотный преобразователь",
         9600,
         {"Дефектоскоп ДУ-10", "Дефектоскоп ДУ-20М"},
         2023y / October / 2,
         0.0,
         0.0,
         1.1e-3,
         1.8e6,
         {"<вторая частота = 5,0 МГц>", "<угол ввода = 40°>", "<стрела = 8 мм>",
          "<призма = оргстекло>"},
         35.0},
        {piezo(kOne, kMany, kLinear, kFlat, kFlat, kRectangular, kMultiChannel, kDigital, kDigital,
               kMultiChannel),
         kDynamicFocusing,
         kDynamicDeflection,
         kSelectElements | kControlDeflection | kControlFocusing,
         {"Цифровое формирование луча", "Усреднение по 4 посылкам"},
         "ООО «Фазатрон»",
         "ФР-5,0-64Л",
         "Линейная фазированная решётка",
         185000,
         {"Система ФР-64", "Сканер-дефектоскоп СД-2"},
         2025y / June / 20,
         0.0,
         0.0,
         0.3e-3,
         5.0e6,
         {"<число элементов = 64>", "<шаг решётки = 0,6 мм>", "<высота элемента = 10 мм>",
          "<сектор качания = ±45°>"},
         60.0},
        {piezo(kOne, kMany, kRing, kConcave, kConcave, kPolar, kMultiChannel, kDigital, kDigital,
               kMultiChannel),
         kDynamicFocusing | kLensConcave1 | kLensConcave2,
         0,
         kSelectElements | kControlFocusing,
         {"Цифровое формирование луча"},
         "ООО «Фазатрон»",
         "КР-3,5-8К",
         "Кольцевая решётка с динамической фокусировкой",
         126000,
         {"Система ФР-64"},
         2025y / January / 28,
         0.08,
         0.08,
         0.55e-3,
         3.5e6,
         {"<число колец = 8>", "<наружный диаметр = 32 мм>", "<глубина фокусировки = 10–80 мм>"},
         18.0},
        {piezo(kOne, kMany, kMatrix, kFlat, kFlat, kRectangular, kMultiChannel, kDigital, kDigital,
               kMultiChannel),
         kDynamicFocusing,
         kDynamicDeflection,
         kSelectElements | kControlDeflection | kControlFocusing,
         {"Цифровое формирование луча", "Синтезированная апертура"},
         "ЗАО «Матрица-УЗК»",
         "МР-2,25-16x16",
         "Матричная антенная решётка",
         310000,
         {"Система ФР-256", "Томограф УТ-3"},
         2026y / February / 9,
         0.0,
         0.0,
         0.9e-3,
         2.25e6,
         {"<размер матрицы = 16x16>", "<шаг = 1,0 мм>", "<объёмное сканирование = есть>"},
         70.0},
        {piezo(kOne, kOne, kPoint, kConcave, kConcave, kPolar, kDirect, kAnalog, kAnalog, kDirect),
         kLensOne | kLensChangeManual | kLensSystem | kLensConcave1 | kLensConcave2,
         0,
         0,
         {"Полосовой фильтр 5–15 МГц"},
         "НПО «Акустика»",
         "И-10-Ф30",
         "Иммерсионный фокусирующий преобразователь с линзой",
         15700,
         {"Иммерсионная установка ИУ-1", "Дефектоскоп ДУ-20М"},
         2024y / November / 11,
         0.04,
         0.04,
         0.2e-3,
         10.0e6,
         {"<фокусное расстояние в воде = 30 мм>", "<материал линзы = полистирол>",
          "<диаметр пьезоэлемента = 20 мм>"},
         6.0},
    };
    return list;
}

// A sample as a record whose texts are cp1251 copies held here; the store copies it field by
// field as the field table lays the record out.
void stage(const Sample& p, const char* emittingSurface, probe::StagedRecord& staged) {
    ProbeRecord& r = staged.record;
    r.Piezoelementi = p.transducers;
    r.Fokusirovka = p.focusing;
    r.Otklonenie = p.deflection;
    r.Skanirovanie = p.scanning;
    r.Cena = p.price;
    r.Data = dayNumber(p.updated);
    r.RKIP1 = p.radius1;
    r.RKIP2 = p.radius2;
    r.TP = p.thickness;
    r.OCHIP = p.frequency;
    r.MU = p.angularWidth;
    r.MasshtabProstranstva = -3;  // the surfaces are given in millimetres
    auto text = [&](Stroka& cell, const std::string& utf8) {
        staged.setText(cell, platform::utf8ToCp1251(utf8));
    };
    auto lines = [&](Spisok& cell, const std::vector<std::string>& utf8) {
        std::vector<std::string> cp1251;
        for (const auto& line : utf8) cp1251.push_back(platform::utf8ToCp1251(line));
        staged.setLines(cell, std::move(cp1251));
    };
    lines(r.Obrabotka, p.preprocessing);
    text(r.Proizvoditel, p.manufacturer);
    text(r.Model, p.model);
    text(r.Nazvanie, p.name);
    lines(r.Pribori, p.instruments);
    lines(r.Parametri, p.otherParameters);
    text(r.IFsP, "probe_surfaces.pv");
    text(r.IIP, emittingSurface);
    text(r.IIIP, "Индикатриса направленности");
    text(r.IIPP, "Индикатриса приёма");
}

template <typename Fn>
bool bind(platform::Module module, Fn& fn, const char* name) {
    fn = reinterpret_cast<Fn>(platform::findExport(module, name));
    if (fn == nullptr) std::fprintf(stderr, "make_probes: probestore has no %s\n", name);
    return fn != nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> arguments = platform::cp1251Arguments(argc, argv);
    const std::string fileName = arguments.size() > 1 ? arguments[1] : "probes.dt";
    platform::Module module = platform::loadLibrary("probestore.dll");
    if (module == nullptr) {
        std::fprintf(stderr, "make_probes: probestore.dll: %s\n",
                     platform::lastErrorText().c_str());
        return 1;
    }
    contracts::ProbeStoreApi api;
    if (!bind(module, api.VidelitPamyatDlyaDatchikov, "VidelitPamyatDlyaDatchikov") ||
        !bind(module, api.VibratDatchikPoIndeksu, "VibratDatchikPoIndeksu") ||
        !bind(module, api.PoluchitVibranniyDatchik, "PoluchitVibranniyDatchik") ||
        !bind(module, api.SozdatStroku, "SozdatStroku") ||
        !bind(module, api.SozdatSpisok, "SozdatSpisok") ||
        !bind(module, api.UdalitStroku, "UdalitStroku") ||
        !bind(module, api.UdalitSpisok, "UdalitSpisok") ||
        !bind(module, api.SohranitDatchik, "SohranitDatchik") ||
        !bind(module, api.ZagruzitKolichestvoDatchikov, "ZagruzitKolichestvoDatchikov"))
        return 1;

    // The store appends; the sample file is rebuilt from nothing.
    std::error_code ignored;
    std::filesystem::remove(platform::systemPath(fileName), ignored);

    const auto& list = samples();
    const std::uint32_t count = static_cast<std::uint32_t>(list.size());
    if (count != std::size(kEmittingSurfaces)) return 1;  // one emitting surface per probe
    if (!api.VidelitPamyatDlyaDatchikov(count, kProbeRecordSize32)) return 1;
    for (std::uint32_t i = 0; i < count; ++i) {
        if (!api.VibratDatchikPoIndeksu(i)) return 1;
        probe::StagedRecord staged;
        stage(list[i], kEmittingSurfaces[i], staged);
        probe::copyRecord(staged.record, *api.PoluchitVibranniyDatchik(), api);
        if (!api.SohranitDatchik(fileName.c_str())) {
            std::fprintf(stderr, "make_probes: could not add probe %u to %s\n", i,
                         platform::cp1251ToUtf8(fileName).c_str());
            return 1;
        }
    }
    const std::uint32_t written = api.ZagruzitKolichestvoDatchikov(fileName.c_str());
    api.VidelitPamyatDlyaDatchikov(0, 0);
    platform::freeLibrary(module);
    std::printf("%s: %u probes\n", platform::cp1251ToUtf8(fileName).c_str(), written);
    return written == count ? 0 : 1;
}
