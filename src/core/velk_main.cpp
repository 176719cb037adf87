#include "core/velk_main.h"

#include "core/config.h"

int AppMain(int, char**) {
    InitConfigDefaults();
    return 0;
}
