// Example: waves from a point source in water meet a steel half-space.
//
// The program loads wavelib2 the way any program of the suite does (by file name, then its table
// "Обработчик волн, версия 1.1"), builds the waves of a point source with InicializirovatVolny,
// advances them towards the interface, splits them with OtrazitIPrelomit and prints, per set, the
// element count and the total energy, the shares of the energy reflected and transmitted beside
// the closed form for a point source, and the energy balance of the split.
//
// The source radiates evenly into a cone of 40 degrees about the normal: its rays stand for equal
// solid angles and carry equal energy, so that the shares are those of a point source. The rays
// beyond the critical angle (about 14.5 degrees) are reflected whole.
//
//   wave_split              prints the numbers
//   wave_split --png FILE   also draws the scene and the shares by angle into a PNG file
#include <cmath>
#include <cstdio>
#include <cstring>
#include <numbers>
#include <string>

#include "examples/wave_split/picture.h"
#include "examples/wave_split/scene.h"

namespace {

// The name padded to a column of 34 characters: printf pads by bytes, and a Cyrillic letter
// takes two bytes in UTF-8.
void column(const char* text) {
    int characters = 0;
    for (const char* c = text; *c != '\0'; ++c) {
        if ((static_cast<unsigned char>(*c) & 0xC0) != 0x80) ++characters;
    }
    std::printf("  %s%*s", text, characters < 34 ? 34 - characters : 0, "");
}

void print(const char* name, const wave_split::Totals& totals) {
    column(name);
    std::printf(" %6u  %.12f\n", totals.rays, totals.energy);
}

int fail(const std::string& text) {
    std::fprintf(stderr, "wave_split: %s\n", text.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    std::string picture;
    for (int k = 1; k < argc; ++k) {
        if (std::strcmp(argv[k], "--png") == 0 && k + 1 < argc) {
            picture = argv[++k];
        } else {
            return fail(std::string("непонятный аргумент «") + argv[k] +
                        "»; вызов: wave_split [--png ФАЙЛ]");
        }
    }

    const wave_split::Library library;
    if (!library.loaded()) return fail(library.error());
    wave_split::SceneResult scene;
    std::string error;
    if (!wave_split::runScene(library, scene, error)) return fail(error);

    using wave_split::kConeDegrees;
    std::printf(
        "Точечный источник в воде на высоте %.0f мм над сталью; лучей: %u, равномерно по "
        "телесному углу конуса до %.0f° от вертикали.\n",
        wave_split::kSourceHeight, scene.before.rays, kConeDegrees);
    column("набор");
    std::printf("  лучей  энергия\n");
    print("падающий, перед границей", scene.before);
    print("отражённый", scene.reflected);
    print("прошедший в сталь", scene.transmitted);
    print("падающий, не дошедший до границы", scene.remaining);
    std::printf("Полное внутреннее отражение (без прошедшей волны), лучей: %u.\n",
                scene.reflected.rays - scene.transmitted.rays);
    const double balance = scene.reflected.energy + scene.crossed + scene.remaining.energy;
    std::printf("Баланс энергии: отражённая %.12f + прошедшая через границу %.12f = %.12f\n",
                scene.reflected.energy, scene.crossed, balance);
    std::printf("                из падающей %.12f, расхождение %.3g\n", scene.before.energy,
                balance - scene.before.energy);

    // The shares, and the closed form for a point source radiating evenly into the cone.
    const double crossed = scene.crossed / scene.before.energy;
    const double expected = wave_split::crossedShareOfPointSource(
        wave_split::kWater, wave_split::kSteel, kConeDegrees * std::numbers::pi / 180.0);
    std::printf(
        "Доли энергии: отражено %.2f %%, прошло в сталь %.2f %% (по формуле для "
        "точечного источника %.2f %%).\n",
        100.0 * scene.reflected.energy / scene.before.energy, 100.0 * crossed, 100.0 * expected);

    if (!picture.empty()) {
        if (!wave_split::drawPicture(scene, picture, error)) return fail(error);
        std::printf("Картинка: %s\n", picture.c_str());
    }
    // The sampling of the cone stands for the point source to a hundredth of a per cent.
    const bool whole = std::fabs(balance - scene.before.energy) <= 1e-9;
    const bool pointSource = std::fabs(crossed - expected) <= 1e-4;
    return whole && pointSource ? 0 : 2;
}
