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
struct Medium {
    double speed;  // speed of sound
    double density;
    double attenuation;      // attenuation coefficient
    std::uint8_t rest[104];  // belongs to wavelib; copied with the block
};

// Ray record (108 bytes). The direction is not normalised.
struct Ray {
    double direction[3];  // direction x, y, z
    double origin[3];     // origin x, y, z
    double edge1[3];      // first edge vector of the ray tube
    double edge2[3];      // second edge vector of the ray tube
    double length;        // a length, scaled with the geometry
    std::uint32_t flags;  // set by wavelib; wavelib2 only reads it
};

// Ray flags that wavelib2 tests.
inline constexpr std::uint32_t kRayReached = 0x02;  // the ray has reached the interface
// at the interface only the phase rule applies
inline constexpr std::uint32_t kRayPhaseOnly = 0x04;
inline constexpr std::uint32_t kRayRemove = 0x08;  // the element is to be removed

// Wave record (144 bytes): the state of one ray's wave.
struct Wave {
    std::uint32_t reserved0;
    double stepLength;        // length of the ray's last step (left here by wavelib's entry 6)
    double incidenceCosine;   // cosine of the angle of incidence at the interface last met
    double refractionCosine;  // cosine of the angle of refraction at that interface
    std::uint8_t reserved28[24];
    double time1;              // first time
    double time2;              // second time
    double attenuationFactor;  // multiplies the medium's attenuation coefficient
    double phase;              // radians
    double amplitude;
    double energy;
    double carried1;  // carried values: taken from the template wave at initialisation
    double carried2;
    double path;          // path length travelled
    double angularWidth;  // angular width of the ray tube, radians
    std::uint8_t reserved132[12];
};

// Wave set: element i is ray i together with wave i. The record may continue beyond its last
// field; wavelib2 touches nothing there, nor in the fields named reserved.
struct WaveSet {
    // first 32-bit word: belongs to wavelib, passed on when sets are collected
    std::uint32_t word0;
    std::uint32_t reserved4;
    // element count ray records; owned by whoever made the set (wavelib for a set of its entry
    // 0, the storage table for room it gave, else the caller), valid until that owner resizes or
    // releases the set
    Ray* rays;
    std::uint32_t count;  // element count
    std::uint8_t reserved16[12];
    std::uint32_t field28;  // cleared when waves are built from the source point
    std::uint32_t flags;    // flags of the set
    std::uint8_t reserved36[76];
    std::uint32_t field112;  // cleared when waves are built from the source point
    std::uint32_t reserved116;
    Wave* waves;              // wave records, parallel to the ray array; owned like `rays`
    std::uint32_t waveCount;  // wave count: equals the element count after every filter
    std::uint8_t reserved128[8];
    Medium medium;     // the medium of the set's waves
    Medium medium2;    // on an interface set: the medium on its other side
    double source[3];  // source point x, y, z
    std::uint8_t reserved416[36];
    double referenceLength;  // reference length
    double length2;          // second length
};

// Set flag: the waves were built from the source point.
inline constexpr std::uint32_t kSetBuiltFromSource = 0x2000;

// The record that wavelib's entry 3 receives when a work set is added to a collection.
struct CollectRecord {
    WaveSet* set;         // the work set; borrowed for the call
    std::uint32_t count;  // always 1
    std::uint32_t word0;  // the work set's first 32-bit word
};

#pragma pack(pop)

static_assert(sizeof(Medium) == 128);
static_assert(offsetof(Medium, speed) == 0 && offsetof(Medium, density) == 8 &&
              offsetof(Medium, attenuation) == 16);

static_assert(sizeof(Ray) == 108);
static_assert(offsetof(Ray, direction) == 0 && offsetof(Ray, origin) == 24 &&
              offsetof(Ray, edge1) == 48 && offsetof(Ray, edge2) == 72 &&
              offsetof(Ray, length) == 96 && offsetof(Ray, flags) == 104);

static_assert(sizeof(Wave) == 144);
static_assert(offsetof(Wave, stepLength) == 4 && offsetof(Wave, incidenceCosine) == 12 &&
              offsetof(Wave, refractionCosine) == 20 && offsetof(Wave, time1) == 52 &&
              offsetof(Wave, time2) == 60 && offsetof(Wave, attenuationFactor) == 68 &&
              offsetof(Wave, phase) == 76 && offsetof(Wave, amplitude) == 84 &&
              offsetof(Wave, energy) == 92 && offsetof(Wave, carried1) == 100 &&
              offsetof(Wave, carried2) == 108 && offsetof(Wave, path) == 116 &&
              offsetof(Wave, angularWidth) == 124);

#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(offsetof(WaveSet, rays) == 8 && offsetof(WaveSet, count) == 12 &&
              offsetof(WaveSet, field28) == 28 && offsetof(WaveSet, flags) == 32 &&
              offsetof(WaveSet, field112) == 112 && offsetof(WaveSet, waves) == 120 &&
              offsetof(WaveSet, waveCount) == 124 && offsetof(WaveSet, medium) == 136 &&
              offsetof(WaveSet, medium2) == 264 && offsetof(WaveSet, source) == 392 &&
              offsetof(WaveSet, referenceLength) == 452 && offsetof(WaveSet, length2) == 460);
static_assert(sizeof(WaveSet) == 468);
static_assert(sizeof(CollectRecord) == 12);
#else
static_assert(offsetof(WaveSet, rays) == 8 && offsetof(WaveSet, count) == 16 &&
              offsetof(WaveSet, field28) == 32 && offsetof(WaveSet, flags) == 36 &&
              offsetof(WaveSet, field112) == 116 && offsetof(WaveSet, waves) == 124 &&
              offsetof(WaveSet, waveCount) == 132 && offsetof(WaveSet, medium) == 144 &&
              offsetof(WaveSet, medium2) == 272 && offsetof(WaveSet, source) == 400 &&
              offsetof(WaveSet, referenceLength) == 460 && offsetof(WaveSet, length2) == 468);
static_assert(sizeof(WaveSet) == 476);
static_assert(offsetof(CollectRecord, count) == 8 && offsetof(CollectRecord, word0) == 12);
static_assert(sizeof(CollectRecord) == 16);
#endif
