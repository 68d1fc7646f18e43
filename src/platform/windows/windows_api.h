// The Windows headers, included through here only: <windows.h> defines DeleteFile as a macro,
// which would rename FileSystem::DeleteFile in some translation units and not in others.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <oaidl.h>
#include <oleauto.h>

#undef DeleteFile
