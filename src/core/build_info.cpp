#include "core/build_info.h"

#ifndef VELK_BUILD_DATE
#define VELK_BUILD_DATE __DATE__
#endif
#ifndef VELK_REVISION
#define VELK_REVISION "0000000"
#endif

const char* BuildDate() {
    static const char* const date = *VELK_BUILD_DATE ? VELK_BUILD_DATE : __DATE__;
    return date;
}

const char* RevisionId() { return VELK_REVISION; }
