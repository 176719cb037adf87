#pragma once
// What a fatal error becomes in the fuzz targets.
#include <stdexcept>

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
