#pragma once
// The version of VorlaNode.dll: what version() returns and what its version resource carries.
#define VORLANODE_VERSION_MAJOR 1
#define VORLANODE_VERSION_MINOR 0
#define VORLANODE_VERSION_PATCH 0

#define VORLANODE_TEXT_OF(x) #x
#define VORLANODE_VERSION_TEXT_OF(major, minor, patch) \
    VORLANODE_TEXT_OF(major) "." VORLANODE_TEXT_OF(minor) "." VORLANODE_TEXT_OF(patch)
#define VORLANODE_VERSION_TEXT \
    VORLANODE_VERSION_TEXT_OF(VORLANODE_VERSION_MAJOR, VORLANODE_VERSION_MINOR, VORLANODE_VERSION_PATCH)
