// Kernel part of the API subset: module path, resources, code pages, global memory,
// files opened with Windows-style paths.
#pragma once

#include "platform/windef.h"
