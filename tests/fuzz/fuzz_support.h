#pragma once
// What a fatal error becomes in the fuzz targets, and the file an input is written to.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

struct FatalError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Runs one input; a fatal error is a documented result, not a finding.
template <class Body>
void RunFuzzInput(Body&& body) {
    try {
        body();
    } catch (const FatalError&) {
    }
}

class StorageContainer;

// Loads the name (if the container has it) and checks the terminator after the bytes.
void LoadAndCheck(const StorageContainer& container, const std::string& name);

// The input as a file of the given extension in a private folder of this process,
// rewritten for every input; the readers that open paths read it from there.
const std::string& WriteFuzzFile(const uint8_t* data, std::size_t size, const char* extension);
