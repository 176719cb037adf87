#include "script/components/component_fit.h"

#include <algorithm>
#include <cfloat>

#include "script/scene/shape_component.h"
#include "script/components/visual_component.h"
#include "script/lua_base.h"
#include "script/scene/game_object.h"

void ComponentFit::read(lua_State* L) {
    const char* text = LuaTableGetString(L, "fit_to_component");
    if (!text) return;
    on = true;
    target = text;
    if (LuaTableIsNumber(L, "padding")) padding = static_cast<float>(LuaTableGetNumber(L, "padding"));
}

FitResult FitSize(const ComponentFit& fit, VisualComponent& box, float& width, float& height) {
    if (!fit.on || !box.owner) return FitResult::kNothing;
    Bounds bounds{FLT_MAX, FLT_MAX, -FLT_MAX, -FLT_MAX};
    if (fit.target == "*") {
        if (!box.owner->computeBounds(bounds, &box)) return FitResult::kNothing;
    } else {
        RootComponent* target = box.owner->components.findById(fit.target.c_str());
        if (!target) return FitResult::kTargetMissing;
        if (!target->getBounds(bounds)) return FitResult::kNothing;
    }
    width = std::max(box.width, bounds.right - bounds.left + 2 * fit.padding);
    height = std::max(box.height, bounds.bottom - bounds.top + 2 * fit.padding);
    return FitResult::kResize;
}

void ResizeKeepingCentre(VisualComponent& box, float width, float height) {
    if (box.width > 0) box.centerX = width / box.width * box.centerX;
    if (box.height > 0) box.centerY = height / box.height * box.centerY;
    box.width = width;
    box.height = height;
}

void RefitOwnerShape(const RootComponent& component) {
    if (component.owner && component.owner->shape) component.owner->shape->fitToOwner();
}
