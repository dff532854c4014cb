#pragma once
// Status codes: one number space for every operation and export.
namespace Status {
constexpr int kDone = 0;
constexpr int kTempRemoveRefused = 1003;    // the platform refused to remove a temporary font resource
constexpr int kNotFound = 1005;             // font file missing or unreadable, or font not in the registry
constexpr int kPlatformRefusedFont = 1007;  // the platform refused to register the font
constexpr int kRegistry = 1011;             // registry entry not written or not deleted
constexpr int kCopy = 1013;                 // copying the font file failed
constexpr int kResourceRemove = 1015;       // removal of the font resource failed during an uninstall
constexpr int kException = 1111;            // a failure was caught (exception, COM, strategy, bad scope)
constexpr int kNoApplication = 2001;        // no supported application handled the request
constexpr int kVersionTooOld = 2003;        // the application version is too old for its strategy
}  // namespace Status
