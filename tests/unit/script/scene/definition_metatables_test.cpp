// Definition tables with metatables: their fields are script code, which may answer
// differently on every read or change the scene graph while a setup reads them.
#include <gtest/gtest.h>

#include "scene_fixture.h"
#include "script/scene/game_object.h"
#include "script/scene/root_component.h"

namespace {

// Every field is "x" on its first read, nil on its second, and so on.
constexpr const char* kFickleDefinition = R"(
reads = {}
fickle = setmetatable({}, {__index = function(_, key)
  reads[key] = (reads[key] or 0) + 1
  if reads[key] % 2 == 1 then return 'x' end
end})
)";

using DefinitionMetatablesTest = ScriptedSceneTest;

TEST_F(DefinitionMetatablesTest, TextsThatVanishOnTheSecondReadAreTakenFromTheFirst) {
    Run(kFickleDefinition);
    for (const char* cls : {"Scene", "Layer", "GameObject", "BoxShapeComponent", "TestVisual"}) {
        Run(std::string("reads = {} o = ") + cls + "() o:setup(fickle)");
        EXPECT_EQ(Text("o:id()"), "x") << cls;
    }
    Run("reads = {} o = GameObject() o:setup(fickle)");
    const GameObject* object = Native<GameObject>("o");
    EXPECT_EQ(object->onKill.method, "x");
    EXPECT_TRUE(object->onKill.forward);
    for (const ScriptCallback& callback : object->mouseCallbacks) {
        EXPECT_EQ(callback.method, "x");
        EXPECT_TRUE(callback.forward);
    }
    Run("reads = {} c = TestVisual() c:setup(fickle)");
    EXPECT_EQ(Native<RootComponent>("c")->relativeTo, "x");
}

// An object on a layer of `scene`, and definitions that tear the scene down or fail.
constexpr const char* kTeardown = R"(
layer = make_layer(scene, 'l')
o = make_object(layer, 'o', 0, 0, 10, 10)
wrecking = setmetatable({}, {__index = function() scene:remove_everything() collectgarbage() end})
failing = setmetatable({}, {__index = function(_, key) error('no ' .. key) end})
function deleted(t) return type(rawget(t, 0)) ~= 'userdata' end
)";

TEST_F(DefinitionMetatablesTest, ObjectRemovedByItsOwnDefinitionIsDeletedOnceSetupIsDone) {
    Run(kTeardown);
    Run("o:setup(wrecking)");
    EXPECT_EQ(Text("tostring(deleted(o))"), "true");
    EXPECT_EQ(Text("#scene:layers()"), "0");
    EXPECT_FALSE(SceneWalk::active());

    Run("layer = make_layer(scene, 'l') o = make_object(layer, 'o', 0, 0, 10, 10)\n"
        "setmetatable(o, {__index = function() scene:remove_everything() end}) o:finalize_setup()");
    EXPECT_EQ(Text("tostring(deleted(o))"), "true");
}

TEST_F(DefinitionMetatablesTest, ErrorInsideSetupReachesTheScriptAndLeavesDeletionWorking) {
    Run(kTeardown);
    Run("ok, message = pcall(o.setup, o, failing)");
    EXPECT_EQ(Text("tostring(ok)"), "false");
    EXPECT_NE(Global("message").find("no id"), std::string::npos) << Global("message");
    EXPECT_FALSE(SceneWalk::active());
    Run("scene:remove_everything()");
    EXPECT_EQ(Text("tostring(deleted(o))"), "true") << "removal deletes at once again";
    EXPECT_EQ(SceneWalk::pendingCount(), 0u);
}

}  // namespace
