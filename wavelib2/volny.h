// Wave sets and their records as wavelib2 and wavelib exchange them, and the function tables of
// the wave processor, versions 1.0 (wavelib) and 1.1 (wavelib2).
//
// The records are packed to 4 bytes: their doubles sit at offsets that are not multiples of 8, and
// 32-bit compilers for the home platform would otherwise align them to 8. Ray and wave records are
// the same on every build; the wave set grows by the width of its two pointers on 64-bit builds.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "platform/plugin.h"

#pragma pack(push, 4)

// Medium block: the medium in which a set's waves travel (128 bytes).
struct Sreda {
    double skorost;             // speed of sound
    double plotnost;            // density
    double zatuhanie;           // attenuation coefficient
    std::uint8_t ostatok[104];  // belongs to wavelib; copied with the block
};

// Ray record (108 bytes). The direction is not normalised.
struct Luch {
    double napravlenie[3];  // direction x, y, z
    double nachalo[3];      // origin x, y, z
    double rebro1[3];       // first edge vector of the ray tube
    double rebro2[3];       // second edge vector of the ray tube
    double dlina;           // a length, scaled with the geometry
    std::uint32_t flagi;    // set by wavelib; wavelib2 only reads it
};

// Ray flags that wavelib2 tests.
inline constexpr std::uint32_t kLuchDoshel = 0x02;  // the ray has reached the interface
inline constexpr std::uint32_t kLuchTolkoFaza =
    0x04;                                           // at the interface only the phase rule applies
inline constexpr std::uint32_t kLuchUdalit = 0x08;  // the element is to be removed

// Wave record (144 bytes): the state of one ray's wave.
struct Volna {
    std::uint32_t rezerv0;
    double dlinaShaga;       // length of the ray's last step (left here by wavelib's entry 6)
    double cosPadeniya;      // cosine of the angle of incidence at the interface last met
    double cosPrelomleniya;  // cosine of the angle of refraction at that interface
    std::uint8_t rezerv28[24];
    double vremya1;         // first time
    double vremya2;         // second time
    double koefZatuhaniya;  // multiplies the medium's attenuation coefficient
    double faza;            // radians
    double amplituda;
    double energiya;
    double perenos1;  // carried values: taken from the template wave at initialisation
    double perenos2;
    double put;              // path length travelled
    double uglovayaShirina;  // angular width of the ray tube, radians
    std::uint8_t rezerv132[12];
};

// Wave set: element i is ray i together with wave i. The record may continue beyond its last
// field; wavelib2 touches nothing there, nor in the fields named rezerv.
struct NaborVoln {
    std::uint32_t
        slovo0;  // first 32-bit word: belongs to wavelib, passed on when sets are collected
    std::uint32_t rezerv4;
    Luch* luchi;           // element count ray records
    std::uint32_t chislo;  // element count
    std::uint8_t rezerv16[12];
    std::uint32_t pole28;  // cleared when waves are built from the source point
    std::uint32_t flagi;   // flags of the set
    std::uint8_t rezerv36[76];
    std::uint32_t pole112;  // cleared when waves are built from the source point
    std::uint32_t rezerv116;
    Volna* volny;              // wave records, parallel to the ray array
    std::uint32_t chisloVoln;  // wave count: equals the element count after every filter
    std::uint8_t rezerv128[8];
    Sreda sreda;          // the medium of the set's waves
    Sreda sreda2;         // on an interface set: the medium on its other side
    double istochnik[3];  // source point x, y, z
    std::uint8_t rezerv416[36];
    double dlinaOtscheta;  // reference length
    double dlina2;         // second length
};

// Set flag: the waves were built from the source point.
inline constexpr std::uint32_t kNaborIzIstochnika = 0x2000;

// The record that wavelib's entry 3 receives when a work set is added to a collection.
struct ZapisSbora {
    NaborVoln* nabor;      // the work set
    std::uint32_t odin;    // always 1
    std::uint32_t slovo0;  // the work set's first 32-bit word
};

#pragma pack(pop)

// A three-component vector of a record (a ray's direction, origin or edge, a set's source point),
// taken out or put back. The records are packed, so these arrays may start at any multiple of 4
// bytes: they are copied bytewise, never handed on as a pointer to double, which promises 8-byte
// alignment to whoever reads through it.
using Vektor3 = std::array<double, 3>;

inline Vektor3 VzyatVektor(const void* massiv) {
    Vektor3 v;
    std::memcpy(v.data(), massiv, sizeof(v));
    return v;
}

inline void PolozhitVektor(void* massiv, const Vektor3& v) {
    std::memcpy(massiv, v.data(), sizeof(v));
}

static_assert(sizeof(Sreda) == 128);
static_assert(offsetof(Sreda, skorost) == 0 && offsetof(Sreda, plotnost) == 8 &&
              offsetof(Sreda, zatuhanie) == 16);

static_assert(sizeof(Luch) == 108);
static_assert(offsetof(Luch, napravlenie) == 0 && offsetof(Luch, nachalo) == 24 &&
              offsetof(Luch, rebro1) == 48 && offsetof(Luch, rebro2) == 72 &&
              offsetof(Luch, dlina) == 96 && offsetof(Luch, flagi) == 104);

static_assert(sizeof(Volna) == 144);
static_assert(offsetof(Volna, dlinaShaga) == 4 && offsetof(Volna, cosPadeniya) == 12 &&
              offsetof(Volna, cosPrelomleniya) == 20 && offsetof(Volna, vremya1) == 52 &&
              offsetof(Volna, vremya2) == 60 && offsetof(Volna, koefZatuhaniya) == 68 &&
              offsetof(Volna, faza) == 76 && offsetof(Volna, amplituda) == 84 &&
              offsetof(Volna, energiya) == 92 && offsetof(Volna, perenos1) == 100 &&
              offsetof(Volna, perenos2) == 108 && offsetof(Volna, put) == 116 &&
              offsetof(Volna, uglovayaShirina) == 124);

#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(offsetof(NaborVoln, luchi) == 8 && offsetof(NaborVoln, chislo) == 12 &&
              offsetof(NaborVoln, pole28) == 28 && offsetof(NaborVoln, flagi) == 32 &&
              offsetof(NaborVoln, pole112) == 112 && offsetof(NaborVoln, volny) == 120 &&
              offsetof(NaborVoln, chisloVoln) == 124 && offsetof(NaborVoln, sreda) == 136 &&
              offsetof(NaborVoln, sreda2) == 264 && offsetof(NaborVoln, istochnik) == 392 &&
              offsetof(NaborVoln, dlinaOtscheta) == 452 && offsetof(NaborVoln, dlina2) == 460);
static_assert(sizeof(NaborVoln) == 468);
static_assert(sizeof(ZapisSbora) == 12);
#else
static_assert(offsetof(NaborVoln, luchi) == 8 && offsetof(NaborVoln, chislo) == 16 &&
              offsetof(NaborVoln, pole28) == 32 && offsetof(NaborVoln, flagi) == 36 &&
              offsetof(NaborVoln, pole112) == 116 && offsetof(NaborVoln, volny) == 124 &&
              offsetof(NaborVoln, chisloVoln) == 132 && offsetof(NaborVoln, sreda) == 144 &&
              offsetof(NaborVoln, sreda2) == 272 && offsetof(NaborVoln, istochnik) == 400 &&
              offsetof(NaborVoln, dlinaOtscheta) == 460 && offsetof(NaborVoln, dlina2) == 468);
static_assert(sizeof(NaborVoln) == 476);
static_assert(offsetof(ZapisSbora, odin) == 8 && offsetof(ZapisSbora, slovo0) == 12);
static_assert(sizeof(ZapisSbora) == 16);
#endif

// ---- Function tables -------------------------------------------------------------------------

// Table names (cp1251 bytes): "Обработчик волн, версия 1.0" and "Обработчик волн, версия 1.1".
inline constexpr char kImyaTablicy10[] =
    "\xCE\xE1\xF0\xE0\xE1\xEE\xF2\xF7\xE8\xEA \xE2\xEE\xEB\xED, \xE2\xE5\xF0\xF1\xE8\xFF 1.0";
inline constexpr char kImyaTablicy11[] =
    "\xCE\xE1\xF0\xE0\xE1\xEE\xF2\xF7\xE8\xEA \xE2\xEE\xEB\xED, \xE2\xE5\xF0\xF1\xE8\xFF 1.1";

inline constexpr std::uint32_t kZapisey10 = 8;   // entries of the version 1.0 table
inline constexpr std::uint32_t kZapisey11 = 14;  // entries of the version 1.1 table

// Entry points of the version 1.0 table (wavelib). Sets are owned by whoever created them.
extern "C" {
// 0: creates a wave set with room for and a count of n zeroed elements; null on failure.
using SozdatNaborFn = NaborVoln* PLUGIN_CALL (*)(std::uint32_t n);
// 1: releases a set created by entry 0 (and its arrays); anything else is ignored.
using UdalitNaborFn = void PLUGIN_CALL (*)(NaborVoln* nabor);
// 2: sets the element and wave count of a set created by entry 0 to n, keeping the first
//    elements and zeroing new ones; false for a set entry 0 did not create or when out of memory.
using IzmenitRazmerFn = BoolByte PLUGIN_CALL (*)(NaborVoln* nabor, std::uint32_t n);
// 3: adds the elements of the work set named by the record to the collection set.
using DobavitNaborFn = BoolByte PLUGIN_CALL (*)(NaborVoln* sbor, const ZapisSbora* zapis);
// 4: builds the reflected set R of the incident set I at the interface S; P is an 8-byte value.
using OtrazitLuchiFn = BoolByte PLUGIN_CALL (*)(NaborVoln* r, NaborVoln* s, NaborVoln* i,
                                                std::uint64_t p);
// 5: builds the transmitted set T; `otnoshenie` is the incident speed over the other side's.
using PrelomitLuchiFn = BoolByte PLUGIN_CALL (*)(NaborVoln* t, NaborVoln* s, NaborVoln* i,
                                                 std::uint64_t p, double otnoshenie);
// 6: advances every ray by `shag`, leaving each step's length in its wave record.
using ProdvinutLuchiFn = BoolByte PLUGIN_CALL (*)(NaborVoln* nabor, double shag);
// 7: wavelib's current error text (cp1251; a stable buffer, "" when there is none).
using TekstOshibkiFn = const char* PLUGIN_CALL (*)();

// Entry points that version 1.1 adds or replaces (wavelib2).
using ProdvinutVolnyFn = BoolByte PLUGIN_CALL (*)(NaborVoln* nabor, double shag);  // 6
using OtrazitIPrelomitFn = BoolByte PLUGIN_CALL (*)(NaborVoln* r, NaborVoln* t, NaborVoln* s,
                                                    NaborVoln* i, const std::uint64_t* p,
                                                    const double* porog);                // 8
using IzmenitMasshtabFn = BoolByte PLUGIN_CALL (*)(NaborVoln* nabor, double mnozhitel);  // 9
using InicializirovatVolnyFn = BoolByte PLUGIN_CALL (*)(NaborVoln* nabor, const Volna* obrazec,
                                                        double energiya,
                                                        const double* para);  // 10
using RazmnozhitNaborFn = BoolByte PLUGIN_CALL (*)(NaborVoln* sbor, NaborVoln* a, NaborVoln* b,
                                                   NaborVoln* q, TableCell* razmeshchenie,
                                                   TableCell* hranenie);  // 11
using OtbrositSlabyeVolnyFn = NaborVoln* PLUGIN_CALL (*)(NaborVoln* nabor,
                                                         const double* porog);  // 12
using UdalitOtmechennyeFn = NaborVoln* PLUGIN_CALL (*)(NaborVoln* nabor);       // 13
}

// The version 1.0 table as wavelib fills it: 8 pointer-sized cells.
struct TablicaVolny10 {
    SozdatNaborFn sozdatNabor;        // 0
    UdalitNaborFn udalitNabor;        // 1
    IzmenitRazmerFn izmenitRazmer;    // 2
    DobavitNaborFn dobavitNabor;      // 3
    OtrazitLuchiFn otrazitLuchi;      // 4
    PrelomitLuchiFn prelomitLuchi;    // 5
    ProdvinutLuchiFn prodvinutLuchi;  // 6
    TekstOshibkiFn tekstOshibki;      // 7
};

// The version 1.1 table as wavelib2 hands it out: 14 pointer-sized cells.
struct TablicaVolny11 {
    SozdatNaborFn sozdatNabor;                    // 0  wavelib's
    UdalitNaborFn udalitNabor;                    // 1  wavelib's
    IzmenitRazmerFn izmenitRazmer;                // 2  wavelib's
    DobavitNaborFn dobavitNabor;                  // 3  wavelib's
    OtrazitLuchiFn otrazitLuchi;                  // 4  wavelib's
    PrelomitLuchiFn prelomitLuchi;                // 5  wavelib's
    ProdvinutVolnyFn prodvinutVolny;              // 6  ProdvinutVolny
    TekstOshibkiFn tekstOshibki;                  // 7  wavelib's
    OtrazitIPrelomitFn otrazitIPrelomit;          // 8
    IzmenitMasshtabFn izmenitMasshtab;            // 9
    InicializirovatVolnyFn inicializirovatVolny;  // 10
    RazmnozhitNaborFn razmnozhitNabor;            // 11
    OtbrositSlabyeVolnyFn otbrositSlabyeVolny;    // 12
    UdalitOtmechennyeFn udalitOtmechennye;        // 13
};

static_assert(sizeof(TablicaVolny10) == kZapisey10 * sizeof(TableCell));
static_assert(sizeof(TablicaVolny11) == kZapisey11 * sizeof(TableCell));
static_assert(offsetof(TablicaVolny10, prodvinutLuchi) == 6 * sizeof(TableCell));
static_assert(offsetof(TablicaVolny11, prodvinutVolny) == 6 * sizeof(TableCell));
static_assert(offsetof(TablicaVolny11, otrazitIPrelomit) == 8 * sizeof(TableCell));
static_assert(offsetof(TablicaVolny11, udalitOtmechennye) == 13 * sizeof(TableCell));
