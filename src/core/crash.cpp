#include "core/crash.h"

#include <cstdio>
#include <cstdlib>

void EndProcessAfterFatalError() {
    std::fflush(nullptr);
    std::_Exit(kExitFatal);
}
