#pragma once
// The flat C interface of VorlaNode.dll. All texts are NUL-terminated UTF-8.
#include "Records.h"

#ifdef VORLANODE_BUILD
#define VORLANODE_API extern "C" __declspec(dllexport)
#else
#define VORLANODE_API extern "C" __declspec(dllimport)
#endif

VORLANODE_API int initial(VorlaNode::VorlaConfig *config);
VORLANODE_API const char *version();
VORLANODE_API VorlaNode::FontData *getAvailableFonts(int *count);
VORLANODE_API void releaseFontData(VorlaNode::FontData *array);
// The installed fonts changed in a way the library cannot see (the front end saw a WM_FONTCHANGE
// broadcast): the next getAvailableFonts lists them afresh instead of handing out the kept list.
VORLANODE_API void markFontListStale();
VORLANODE_API void releaseWindowData(VorlaNode::WindowData *array);
VORLANODE_API void releaseVPermission(VorlaNode::VPermission *array);

// Windows of running supported applications, one per process (hand back to releaseWindowData).
VORLANODE_API VorlaNode::WindowData *getAvailableApplications(int *count);
// Applies the font to the current selection of the application of request->processId
// (0: the topmost recognised window); the status of the last strategy that ran.
VORLANODE_API int applyFontForApplication(VorlaNode::ApplyFont *request);
VORLANODE_API int installFont(VorlaNode::FontForm *font);
VORLANODE_API int uninstallFont(VorlaNode::FontForm *font);
VORLANODE_API int installTempFont(VorlaNode::FontForm *font);
VORLANODE_API int uninstallTempFont(VorlaNode::FontForm *font);
// Every named permission and whether the process holds it (hand back to releaseVPermission).
VORLANODE_API VorlaNode::VPermission *getPermissions(int *count);
// Obtains the named permission; 0 when not obtained. A started elevated relaunch ends the process.
VORLANODE_API int requestPermission(char *name);

// Font health: the findings of a read-only check of both scopes (hand back to releaseFontHealth).
VORLANODE_API VorlaNode::FontHealth *checkFonts(int *count);
VORLANODE_API void releaseFontHealth(VorlaNode::FontHealth *array);
// Repairs the per-user findings, one status each in statuses (all-users ones get 1111, untouched);
// 0, or 1111 when the arguments are unusable.
VORLANODE_API int repairFonts(const VorlaNode::FontHealth *findings, int count, int *statuses);
