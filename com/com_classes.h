#pragma once
// The COM classes marlet.exe serves, as the registry knows them: the one table
// that /regserver, the serving loop (com_classes_win32.cpp adds the factories)
// and the MSI packages' registry rows (installer/facts) all read. Portable: no
// windows.h, so the build-time generator can read it too.
#include <cstddef>
#include <cstdint>
#include <stdexcept>

#include "qb/menu_subscription.h"
#include "settings/options.h"

namespace marlet::com {

// One class: its ProgID, the description its keys hold, and its CLSID as
// Windows writes it in the registry ("{8-4-4-4-12}" hex digits, upper case, as
// StringFromGUID2 gives it).
struct ComClassFacts {
    const char* progId;
    const char* description;
    const char* clsid;
};

inline constexpr ComClassFacts kComClasses[] = {
    {.progId = kListenerProgID,
     .description = "Marlet QuickBooks menu listener",
     .clsid = "{15B42DA8-7878-4EE2-B4B7-1A9BE5C3D21B}"},
    {.progId = kOptionsProgID, .description = "Marlet options record", .clsid = "{29C16FFB-9829-4231-AA2A-93C2D2896D6F}"},
};

// A GUID's numbers, in the fields of Windows' GUID.
struct GuidNumbers {
    std::uint32_t data1 = 0;
    std::uint16_t data2 = 0;
    std::uint16_t data3 = 0;
    std::uint8_t data4[8] = {};
};

// The numbers of a class id written as ComClassFacts::clsid says; anything
// else throws (in a constant expression: does not compile). Upper case only, so
// that the text is the one the registry shows for these numbers.
constexpr GuidNumbers guidNumbers(const char* text) {
    constexpr char kForm[] = "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}";
    std::uint8_t bytes[16] = {};
    std::size_t nibble = 0;
    for (std::size_t i = 0; i + 1 < sizeof kForm; i++) {
        const char c = text[i];
        if (kForm[i] != 'X') {
            if (c != kForm[i]) throw std::invalid_argument("not a class id in registry form");
            continue;
        }
        int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
        if (digit < 0) throw std::invalid_argument("not a class id in registry form");
        bytes[nibble / 2] = static_cast<std::uint8_t>(bytes[nibble / 2] << 4 | digit);
        nibble++;
    }
    if (text[sizeof kForm - 1] != '\0') throw std::invalid_argument("not a class id in registry form");
    GuidNumbers g;
    g.data1 = static_cast<std::uint32_t>(bytes[0]) << 24 | static_cast<std::uint32_t>(bytes[1]) << 16 |
              static_cast<std::uint32_t>(bytes[2]) << 8 | bytes[3];
    g.data2 = static_cast<std::uint16_t>(bytes[4] << 8 | bytes[5]);
    g.data3 = static_cast<std::uint16_t>(bytes[6] << 8 | bytes[7]);
    for (std::size_t i = 0; i < 8; i++) g.data4[i] = bytes[8 + i];
    return g;
}

// Every row's class id is read at compile time.
consteval bool classIdsRead() {
    for (const ComClassFacts& c : kComClasses) guidNumbers(c.clsid);
    return true;
}
static_assert(classIdsRead());

}  // namespace marlet::com
