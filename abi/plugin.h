// Conventions shared by every library boundary of the tool set: calling convention, export
// macros, one-byte booleans, the text callback, the function-table request and the library entry
// notification.
//
// Everything under abi/ includes only standard headers and its own folder, so that a library
// written for the tool set needs this folder alone.
#pragma once

#include <cstdint>

#if defined(_WIN32) && !defined(_WIN64)
#define PLUGIN_CALL __stdcall
#else
#define PLUGIN_CALL
#endif

// On 32-bit Windows the libraries are linked with --kill-at, so that every export carries its
// plain name only (no `Name@N`), which the callers' decorated-then-plain lookups find.
#if defined(_WIN32)
#define PLUGIN_EXPORT extern "C" __declspec(dllexport)
#else
#define PLUGIN_EXPORT extern "C" __attribute__((visibility("default")))
#endif

// A boolean that crosses a library boundary: one byte, 0 is false, anything else true.
using BoolByte = std::uint8_t;
inline constexpr BoolByte kTrue = 1;
inline constexpr BoolByte kFalse = 0;
inline constexpr bool isTrue(BoolByte b) {
    return b != 0;
}

// Hands out one text (a line of a list or a control's text) as NUL-terminated cp1251.
// context: the caller's own, passed back untouched; the callee never keeps it.
// result: owned by the callback's side; valid until the next call of the same callback.
using TextCallback = const char* PLUGIN_CALL (*)(std::int32_t index, void* context);

// One cell of a function table: an entry point of whatever signature the table's version fixes.
// The entry points belong to the library that filled the cell and stay valid while it is loaded.
using TableCell = void*;

// The function-table request in its three-argument form (table, size in bytes, name and version)
// and in its two-argument form (table, name and version).
// table: the caller's array, filled in place; the library keeps no reference to it.
// name: NUL-terminated cp1251, borrowed for the call.
// result: `table` when the table was filled, null when it was not.
using TableRequest3 = void* PLUGIN_CALL (*)(TableCell* table, std::uint32_t size, const char* name);
using TableRequest2 = void* PLUGIN_CALL (*)(TableCell* table, const char* name);

// Library entry notification reasons (the Windows values), as a library's DllEntry receives them.
enum DllReason : int {
    kProcessDetach = 0,
    kProcessAttach = 1,
    kThreadAttach = 2,
    kThreadDetach = 3,
};

// PLUGIN_LIBRARY_ENTRY(onEntry) makes `int onEntry(int reason)` the library's entry notification
// (a zero result on attach refuses the load). On Windows the system calls it through DllMain; on
// POSIX the platform layer calls the export DllEntry, which exists only there.
#if defined(_WIN32)
#define PLUGIN_LIBRARY_ENTRY(onEntry)                                      \
    extern "C" int __stdcall DllMain(void*, unsigned long reason, void*) { \
        return onEntry(static_cast<int>(reason)) != 0 ? 1 : 0;             \
    }
#else
#define PLUGIN_LIBRARY_ENTRY(onEntry)        \
    PLUGIN_EXPORT int DllEntry(int reason) { \
        return onEntry(reason);              \
    }
#endif

// Casts a table cell to the entry point type the caller expects and back.
template <typename Fn>
inline Fn cellAs(TableCell cell) {
    return reinterpret_cast<Fn>(cell);
}
template <typename Fn>
inline TableCell asCell(Fn fn) {
    return reinterpret_cast<TableCell>(fn);
}
