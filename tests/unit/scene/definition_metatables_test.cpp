// Definition tables with metatables: their fields are script code, which may answer
// differently on every read or change the scene graph while a setup reads them.
#include <gtest/gtest.h>

#include "scene_fixture.h"
#include "script/components/root_component.h"
#include "script/game_object.h"

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

}  // namespace
