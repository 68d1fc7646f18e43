// The xxHash library itself, for a build that has only its header to hand (the Windows one).
#define XXH_STATIC_LINKING_ONLY
#define XXH_IMPLEMENTATION
#include <xxhash.h>
