#pragma once
// The flat C interface of VorlaNode.dll. All texts are NUL-terminated UTF-8.
#include "Records.h"

#ifdef VORLANODE_BUILD
#define VORLANODE_API extern "C" __declspec(dllexport)
#else
#define VORLANODE_API extern "C" __declspec(dllimport)
#endif

VORLANODE_API int initial(VorlaNode::VorlaConfig* config);
VORLANODE_API const char* version();
VORLANODE_API void releaseFontData(VorlaNode::FontData* array);
VORLANODE_API void releaseWindowData(VorlaNode::WindowData* array);
VORLANODE_API void releaseVPermission(VorlaNode::VPermission* array);
VORLANODE_API VorlaNode::VPermission* getPermissions(int* count);
VORLANODE_API int requestPermission(char* name);
