#pragma once
// Particle files: a Parcon tree whose "generator" lists are the emitters, each inline
// (its key lists) or a reference to a file holding one emitter. Errors in a file are
// fatal.
//
// ParseParticleFile  empties a system and fills it from a particle file
// LoadEmitterFile    a new emitter from a file whose root holds its key lists
// ParseEmitter       resets an emitter and reads its key lists
#include <memory>
#include <string>

#include "formats/parcon.h"

struct ParticleEmitter;
struct ParticleSystem;

// More slots than any effect draws; bounds what one file can make the engine allocate.
inline constexpr int kMaxParticleLimit = 100000;

// True when the system holds at least one emitter.
bool ParseParticleFile(const std::string& fileName, ParticleSystem& system);
std::unique_ptr<ParticleEmitter> LoadEmitterFile(const std::string& fileName);
// Reads the key lists at positions 1 onward of the list. The emitter is left emitting.
void ParseEmitter(ParticleEmitter& emitter, const Parcon& reader, const ParconList& list);
