// Deletion: each object goes whole, its links still set while its on_destroy runs; a
// container's children go inside the container's own deletion; and whatever a script
// does from on_destroy leaves nothing dangling and nothing undeleted.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/log.h"
#include "fixtures/failing_allocator.h"
#include "scene_fixture.h"

namespace {

// The log's lines: the destructors write there, the scripts with `log`.
std::vector<std::string> g_lines;

void CollectLine(const char* text, int kind) {
    if (kind != kConsoleLogEcho) return;
    std::string line = text;
    if (!line.empty() && line.back() == '\n') line.pop_back();
    g_lines.push_back(line);
}

// A scene with layers A {a1} and B {b1}, each object with a shape; every on_destroy
// logs what it still reaches.
const char* const kTwoLayers = R"(
function told(self) return self:id() .. ' on_destroy in ' .. self:layer():id() end
function layer_told(self) log(self:id() .. ' on_destroy, ' .. #self:objects() .. ' objects') end
function shape_told(self)
  log(self:id() .. ' on_destroy of ' .. self:object():id() .. ' in ' .. self:object():layer():id())
end
function make_tree()
  A = make_layer(scene, 'A') B = make_layer(scene, 'B')
  for _, layer in ipairs({A, B}) do
    layer.on_destroy = layer_told layer:finalize_setup()
    local id = string.lower(layer:id()) .. '1'
    local object, shape = make_object(layer, id, 0, 0, 1, 1, {on_destroy = function(self) log(told(self)) end})
    shape:set_id(id .. ' shape') shape.on_destroy = shape_told shape:finalize_setup()
    _G[id] = object
  end
end
make_tree()
)";

class Deletion : public ScriptedSceneTest {
protected:
    void SetUp() override {
        ScriptedSceneTest::SetUp();
        Run(kTwoLayers);
        g_lines.clear();
        SetConsoleSink(CollectLine);
    }
    void TearDown() override {
        SetConsoleSink(nullptr);
        ScriptedSceneTest::TearDown();
    }
    static std::string Lines() {
        std::string joined;
        for (const std::string& line : g_lines) joined += (joined.empty() ? "" : " | ") + line;
        return joined;
    }
};

TEST_F(Deletion, ContainersGoDepthFirstAndEachObjectWhole) {
    const std::string layers =
        "Layer destructor (A) | A on_destroy, 1 objects | a1 on_destroy in A | a1 shape on_destroy of a1 in A | "
        "Layer destructor (B) | B on_destroy, 1 objects | b1 on_destroy in B | b1 shape on_destroy of b1 in B";
    const struct {
        const char* name;
        const char* script;
        bool frame;  // the script only prepares; the deletion comes with the scene's update
        std::string expected;
    } cases[] = {
        {"the scene is dropped", "scene = nil collectgarbage('collect')", false, "Scene destructor | " + layers},
        {"remove_all_layers", "scene:remove_all_layers()", false, layers},
        {"remove_all_layers in a walk", "function b1:on_update() scene:remove_all_layers() end b1:finalize_setup()",
         true, layers},
        {"killed layers", "A:kill() B:kill()", true, layers},
        // A went out of the scene before a1 out of A: a1 still goes inside A's deletion.
        {"objects removed from a removed layer",
         "function b1:on_update() scene:remove_all_layers() A:remove_all_objects() end b1:finalize_setup()", true,
         "Layer destructor (A) | A on_destroy, 0 objects | a1 on_destroy in A | a1 shape on_destroy of a1 in A | "
         "Layer destructor (B) | B on_destroy, 1 objects | b1 on_destroy in B | b1 shape on_destroy of b1 in B"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Run(c.script);
        if (c.frame) Idle(500, 500);
        LuaDeleteDroppedObjects(L);
        EXPECT_EQ(Lines(), c.expected);
        EXPECT_EQ(SceneWalk::pendingCount(), 0u);
        Run("scene = scene or Scene() make_tree()");
        g_lines.clear();
    }
}

// The explosion goes where the object was, into the layer it leaves, and lives on.
TEST_F(Deletion, KilledObjectSpawnsIntoItsLayerFromOnDestroy) {
    Run(R"(
      a1:set_xy(30, 40)
      function a1:on_destroy()
        local x, y = self:xy()
        local boom = GameObject()
        self:layer():attach_object(boom)
        boom:setup({id = 'boom', x = x, y = y})
        boom.on_update = function(b) note(b:id() .. ' at ' .. b:x() .. ',' .. b:y() .. ' in ' .. b:layer():id()) end
        boom:finalize_setup()
      end
      a1:kill()
    )");
    Idle(500, 500);
    EXPECT_EQ(Text("fired_text()"), "");
    Idle(500, 500);
    EXPECT_EQ(Text("fired_text()"), "boom at 30,40 in A");
    EXPECT_EQ(Text("A:objects()[1]:id() .. ' ' .. #A:objects()"), "boom 1");
    EXPECT_EQ(Lines(), "a1 shape on_destroy of a1 in A");
}

// What a1's on_destroy does while its layer is being deleted. Every object of the layer
// still goes, once, with its links; a3 was placed relative to a2, which goes first.
TEST_F(Deletion, ScriptsInsideOnDestroyWhileTheLayerGoes) {
    const struct {
        const char* name;
        const char* action;
        const char* fired;
    } cases[] = {
        {"nothing", "", "a1 of A with 2 | a2 of A with 1 | a3 of A with 0 at 3"},
        {"spawn into the dying layer",
         "local e = GameObject() A:attach_object(e) e:setup({id = 'late'}) note('late in ' .. tostring(e:layer()))",
         "late in nil | a1 of A with 2 | a2 of A with 1 | a3 of A with 0 at 3"},
        {"attach to the dying object", "self:attach_component(TestVisual()) note(#self:components() .. ' parts')",
         "1 parts | a1 of A with 2 | a2 of A with 1 | a3 of A with 0 at 3"},
        {"remove the rest of the layer", "A:remove_all_objects()",
         "a1 of A with 0 | a2 of A with 0 | a3 of A with 0 at 3"},
        {"sort the layer", "a2:set_z(5) A:sort()", "a1 of A with 2 | a2 of A with 1 | a3 of A with 0 at 3"},
        {"place a sibling relative to another", "a3:setup({relative_to = 'a2'})",
         "a1 of A with 2 | a2 of A with 1 | a3 of A with 0 at 3"},
        {"kill and remove elsewhere", "b1:kill() scene:remove_all_layers()",
         "a1 of A with 2 | a2 of A with 1 | a3 of A with 0 at 3 | b1 of B with 0"},
        {"remove the scene's layers from a frame", "scene:update(0.1) scene:remove_all_layers()",
         "a1 of A with 2 | a2 of A with 1 | a3 of A with 0 at 3 | b1 of B with 0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Run("scene:remove_all_layers() fired = {}");
        Run(std::string(R"(
          A = make_layer(scene, 'A') B = make_layer(scene, 'B')
          local function gone(self)
            local text = self:id() .. ' of ' .. self:layer():id() .. ' with ' .. #self:layer():objects()
            if self:id() == 'a3' then self:setup({}) text = text .. ' at ' .. self:x_abs() end
            note(text)
          end
          a1 = make_object(A, 'a1', 1, 0, 1, 1, {on_destroy = function(self) )") +
            c.action + R"( gone(self) end})
          a2 = make_object(A, 'a2', 2, 0, 1, 1, {on_destroy = gone})
          a3 = make_object(A, 'a3', 3, 0, 1, 1, {on_destroy = gone}, {relative_to = 'a2'})
          b1 = make_object(B, 'b1', 0, 0, 1, 1, {on_destroy = gone})
          scene:render() placed = a3:x_abs()
          A:kill() scene:update(0.1)
        )");
        EXPECT_EQ(Text("placed"), "5");
        EXPECT_EQ(Text("table.concat(fired, ' | ')"), c.fired);
        EXPECT_EQ(SceneWalk::pendingCount(), 0u);
        EXPECT_EQ(Text("#scene:layers()"), std::string(c.fired).find("b1") == std::string::npos ? "1" : "0");
    }
    Run("collectgarbage('collect')");
    LuaDeleteDroppedObjects(L);
    EXPECT_NE(Lines().find("Attach: 'A' is being removed; nothing attached"), std::string::npos);
    EXPECT_NE(Lines().find("Attach: 'a1' is being removed; nothing attached"), std::string::npos);
}

// Removed in one go, the later object placed relative to the earlier one falls back to
// the layer, since the earlier one goes first.
TEST_F(Deletion, ObjectsRemovedTogetherKeepNoLinkToEachOther) {
    Run(R"(
      A:set_xy(100, 0)
      local function gone(self) self:setup({}) note(self:id() .. ' at ' .. self:x_abs()) end
      p = make_object(A, 'p', 10, 0, 1, 1, {on_destroy = gone})
      q = make_object(A, 'q', 5, 0, 1, 1, {on_destroy = gone}, {relative_to = 'p'})
      p:kill() q:kill()
    )");
    Idle(500, 500);
    EXPECT_EQ(Text("fired_text()"), "p at 110 q at 105");
}

// The first callback of a state can be an on_destroy that runs out of memory before it
// starts: the object still goes whole, once (and the leak checker finds nothing).
TEST_F(Deletion, FirstCallbackOfTheStateWithNoMemoryToSpare) {
    Run("Q = make_layer(scene, 'Q') gone = {false}\n"
        "make_object(Q, 'q', 0, 0, 1, 1, {on_destroy = function() gone[1] = true end})");
    lua_getglobal(L, "Q");
    lua_getfield(L, -1, "remove_all_objects");
    lua_insert(L, -2);
    {
        const FailingAllocations failing(L, 0);
        EXPECT_EQ(lua_pcall(L, 1, 0, 0), 0) << lua_tostring(L, -1);
    }
    lua_settop(L, 0);
    EXPECT_EQ(Text("tostring(gone[1]) .. ' ' .. #Q:objects()"), "true 0");
    EXPECT_EQ(SceneWalk::pendingCount(), 0u);
}

}  // namespace
