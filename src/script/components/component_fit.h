#pragma once
// Boxes that fit other components of their object (a panel around its text): the fit
// keys of a definition, the size a fit asks for, and the resize that follows.
//
// ComponentFit::read   "fit_to_component" and "padding" of the definition
// FitSize              the size a box grows to around its target (never smaller)
// ResizeKeepingCentre  a new size, the centre at the same relative place
// RefitOwnerShape      lets the owner's hit shape follow a new size
#include <string>

#include <lua.hpp>

class RootComponent;
class VisualComponent;

struct ComponentFit {
    bool on = false;
    std::string target;  // a component id, or "*" for all the object's components
    float padding = 0;

    void read(lua_State* L);
};

enum class FitResult { kNothing, kResize, kTargetMissing };

// The box itself is never part of what it fits ("*" leaves it out), so fitting again
// does not grow it by the padding once more.
FitResult FitSize(const ComponentFit& fit, VisualComponent& box, float& width, float& height);
void ResizeKeepingCentre(VisualComponent& box, float width, float height);
void RefitOwnerShape(const RootComponent& component);
