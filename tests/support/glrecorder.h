// A test-only recorder of the GL calls that the library makes for geometry and state.
//
// The test executable defines the recorded GL entry points itself, so the library's calls reach these
// definitions first (the executable's symbols win over libGL's); each one notes the call while recording
// is on and then forwards it to the real libGL function. Link glrecorder.cpp into a suite only where
// the order or arguments of the calls are the contract under test.
#pragma once

#include <string>
#include <vector>

namespace glrecorder {

struct Call {
    std::string name;         // "glVertex3f"
    std::vector<double> args; // the arguments, enumerants and names as numbers
};

void Start();             // forgets what was recorded and starts recording
std::vector<Call> Stop(); // stops and hands over the calls, in order

// The calls of `calls` whose name is `name`, in order.
std::vector<Call> Only(const std::vector<Call>& calls, const std::string& name);

} // namespace glrecorder
