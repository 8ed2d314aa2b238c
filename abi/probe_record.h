// The probe record as the editor and the probe store share it: one block per probe, fields at
// fixed offsets. On the 32-bit home platform it is 456 bytes; on builds with 8-byte pointers the
// same declaration gives 512 bytes (text and list cells widen, every other width and encoding
// stays).
//
// The records live in the probe store's memory (see probestore.h); a host holds only a borrowed
// pointer to the selected record and reads and writes its plain fields in place.
#pragma once

#include <cstddef>
#include <cstdint>

// A text cell: a NUL-terminated cp1251 text; null reads as empty.
struct Stroka {
    char* text;  // owned by the probe store; valid until the store replaces or deletes the cell
};

// A list cell: an array of text pointers and the number of lines. With a count of 0 the array
// pointer is never read.
struct Spisok {
    char** lines;  // array and lines owned by the probe store; valid until it replaces the cell
    std::uint32_t count;
};

struct ProbeRecord {
    std::uint8_t reserved0[8];
    std::uint32_t Piezoelementi;  // probe class, coordinate system, access methods, interfaces
    std::uint32_t Fokusirovka;    // focusing means
    std::uint32_t Otklonenie;     // deflection means
    std::uint32_t Skanirovanie;   // scanning means
    Spisok Obrabotka;             // preprocessing means, one per line
    std::uint8_t reserved1[80];
    Stroka Proizvoditel;  // manufacturer
    Stroka Model;
    Stroka Nazvanie;    // name of the probe
    std::int32_t Cena;  // approximate price, 0 = not given
    Spisok Pribori;     // compatible instruments, one per line
    double Data;        // date of the last update, days since 30.12.1899; 0.0 = not given
    std::uint8_t reserved2[80];
    double RKIP1;      // radius of curvature, cutting plane 1, m
    double RKIP2;      // radius of curvature, cutting plane 2, m
    double TP;         // thickness of the piezo element, m
    double OCHIP;      // main emission frequency, Hz
    Spisok Parametri;  // other parameters, "<имя параметра = значение>"
    double MU;         // angular width of the directivity pattern, degrees
    std::uint8_t reserved3[80];
    Stroka IFsP;                        // file with the probe's surfaces
    Stroka IIP;                         // radiating surface
    Stroka IIIP;                        // directivity pattern
    Stroka IIPP;                        // reception pattern
    std::int32_t MasshtabProstranstva;  // decimal exponent of the surface scale
    std::uint8_t reserved4[84];
};

// The size the editor asks the probe store for at start-up: the record of the home platform.
inline constexpr std::uint32_t kProbeRecordSize32 = 456;

#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(sizeof(Stroka) == 4 && sizeof(Spisok) == 8);
static_assert(offsetof(ProbeRecord, Piezoelementi) == 8);
static_assert(offsetof(ProbeRecord, Fokusirovka) == 12);
static_assert(offsetof(ProbeRecord, Otklonenie) == 16);
static_assert(offsetof(ProbeRecord, Skanirovanie) == 20);
static_assert(offsetof(ProbeRecord, Obrabotka) == 24);
static_assert(offsetof(ProbeRecord, reserved1) == 32);
static_assert(offsetof(ProbeRecord, Proizvoditel) == 112);
static_assert(offsetof(ProbeRecord, Model) == 116);
static_assert(offsetof(ProbeRecord, Nazvanie) == 120);
static_assert(offsetof(ProbeRecord, Cena) == 124);
static_assert(offsetof(ProbeRecord, Pribori) == 128);
static_assert(offsetof(ProbeRecord, Data) == 136);
static_assert(offsetof(ProbeRecord, reserved2) == 144);
static_assert(offsetof(ProbeRecord, RKIP1) == 224);
static_assert(offsetof(ProbeRecord, RKIP2) == 232);
static_assert(offsetof(ProbeRecord, TP) == 240);
static_assert(offsetof(ProbeRecord, OCHIP) == 248);
static_assert(offsetof(ProbeRecord, Parametri) == 256);
static_assert(offsetof(ProbeRecord, MU) == 264);
static_assert(offsetof(ProbeRecord, reserved3) == 272);
static_assert(offsetof(ProbeRecord, IFsP) == 352);
static_assert(offsetof(ProbeRecord, IIP) == 356);
static_assert(offsetof(ProbeRecord, IIIP) == 360);
static_assert(offsetof(ProbeRecord, IIPP) == 364);
static_assert(offsetof(ProbeRecord, MasshtabProstranstva) == 368);
static_assert(offsetof(ProbeRecord, reserved4) == 372);
static_assert(sizeof(ProbeRecord) == 456);
#else
static_assert(sizeof(Stroka) == 8 && sizeof(Spisok) == 16);
static_assert(offsetof(ProbeRecord, Obrabotka) == 24);
static_assert(offsetof(ProbeRecord, Proizvoditel) == 120);
static_assert(offsetof(ProbeRecord, Model) == 128);
static_assert(offsetof(ProbeRecord, Nazvanie) == 136);
static_assert(offsetof(ProbeRecord, Cena) == 144);
static_assert(offsetof(ProbeRecord, Pribori) == 152);
static_assert(offsetof(ProbeRecord, Data) == 168);
static_assert(offsetof(ProbeRecord, RKIP1) == 256);
static_assert(offsetof(ProbeRecord, RKIP2) == 264);
static_assert(offsetof(ProbeRecord, TP) == 272);
static_assert(offsetof(ProbeRecord, OCHIP) == 280);
static_assert(offsetof(ProbeRecord, Parametri) == 288);
static_assert(offsetof(ProbeRecord, MU) == 304);
static_assert(offsetof(ProbeRecord, IFsP) == 392);
static_assert(offsetof(ProbeRecord, IIP) == 400);
static_assert(offsetof(ProbeRecord, IIIP) == 408);
static_assert(offsetof(ProbeRecord, IIPP) == 416);
static_assert(offsetof(ProbeRecord, MasshtabProstranstva) == 424);
static_assert(sizeof(ProbeRecord) == 512);
#endif
