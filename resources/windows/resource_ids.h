// Identifiers of the resources in vintrel.rc, shared with the code that loads them.
#pragma once

#define VINTREL_ICON 1
