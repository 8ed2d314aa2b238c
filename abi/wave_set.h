// Wave sets and their records as the wave processors (wavelib2 and wavelib) and the programs that
// use them exchange them.
//
// The records are packed to 4 bytes: their doubles sit at offsets that are not multiples of 8, and
// 32-bit compilers for the home platform would otherwise align them to 8. Ray and wave records are
// the same on every build; the wave set grows by the width of its two pointers on 64-bit builds.
// Since the records are packed, their arrays of doubles may start at any multiple of 4 bytes: copy
// such an array out bytewise rather than handing on a pointer to double, which promises 8-byte
// alignment to whoever reads through it.
#pragma once

#include <cstddef>
#include <cstdint>

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
// at the interface only the phase rule applies
inline constexpr std::uint32_t kLuchTolkoFaza = 0x04;
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
    // first 32-bit word: belongs to wavelib, passed on when sets are collected
    std::uint32_t slovo0;
    std::uint32_t rezerv4;
    // element count ray records; owned by whoever made the set (wavelib for a set of its entry
    // 0, the storage table for room it gave, else the caller), valid until that owner resizes or
    // releases the set
    Luch* luchi;
    std::uint32_t chislo;  // element count
    std::uint8_t rezerv16[12];
    std::uint32_t pole28;  // cleared when waves are built from the source point
    std::uint32_t flagi;   // flags of the set
    std::uint8_t rezerv36[76];
    std::uint32_t pole112;  // cleared when waves are built from the source point
    std::uint32_t rezerv116;
    Volna* volny;              // wave records, parallel to the ray array; owned like `luchi`
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
    NaborVoln* nabor;      // the work set; borrowed for the call
    std::uint32_t odin;    // always 1
    std::uint32_t slovo0;  // the work set's first 32-bit word
};

#pragma pack(pop)

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
