#include "audio/openal_error.h"

#include <AL/al.h>

#include "core/log.h"

void CheckOpenALError() {
    if (const ALenum error = alGetError(); error != AL_NO_ERROR) LogPrintf("OpenAL error was raised (%d)", error);
}
