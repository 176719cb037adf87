#include "core/config.h"

EngineConfig g_config;

void InitConfigDefaults() { g_config = EngineConfig{}; }
