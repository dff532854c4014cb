// Where the installed fonts come from, as far as it can be read without the font system: the
// per-user and the all-users Fonts keys (their value counts and last write times) and the two
// fonts folders (their last write times). While none of them changed, the system collection
// holds what it held; fonts that another program registered for the session only change none
// of them (the catalogue learns of those from their WM_FONTCHANGE broadcast).
#pragma once

#include "interactive/win/FontUtil.h"

#include <cstdint>

namespace FontManager {

struct SourceStamps {
    winreg::KeyStamp userKey, machineKey;             // zero when the key cannot be opened
    std::uint64_t userFolder = 0, machineFolder = 0;  // last write times (FILETIME); zero when missing
    std::uint64_t readAt = 0;                         // the system time when they were read

    bool sameSources(const SourceStamps &other) const;
    // True when a change right after readAt could have left every stamp as it was: one of them
    // lies within the stamps' resolution of readAt (or after it, the clock having been set back).
    bool tooRecent() const;
};

// How far apart two writes must be to give different stamps, with a wide margin: registry keys
// and NTFS folders take the system time, which moves in ticks of at most 15.6 ms.
constexpr std::uint64_t kStampResolution = 100 * 10000;  // 100 ms in FILETIME units

SourceStamps readSourceStamps();

}  // namespace FontManager
