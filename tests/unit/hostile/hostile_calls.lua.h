#pragma once
// The script side of the hostile-call sweep: the argument patterns, the call targets
// (every engine global function and every method of every script class, on a loose and
// on an attached object) and one numbered call at a time.

inline constexpr const char* kHostileScript = R"lua(
local engine_globals = ...  -- names of the globals the engine registered (array)

local function self_table()
  local t = {}
  t.self = t
  t[0] = t
  t[1] = t
  return t
end

-- A class constructor is a global with a box metatable of the same name in the registry.
local registry = debug.getregistry()
local constructors = {}
for _, name in ipairs(engine_globals) do
  local meta = registry[name]
  if type(_G[name]) == "function" and type(meta) == "table" and meta.__gc then
    constructors[#constructors + 1] = name
  end
end
table.sort(constructors)

-- Objects handed over as arguments: one of each class, loose.
local objects = {}
for _, name in ipairs(constructors) do objects[name] = _G[name]() end

local patterns = {
  {"nil", nil},
  {"0", 0}, {"-1", -1}, {"1e308", 1e308}, {"-1e308", -1e308}, {"nan", 0 / 0}, {"inf", 1 / 0},
  {"-inf", -1 / 0}, {"2^31", 2 ^ 31}, {"-2^31-1", -2 ^ 31 - 1}, {"2^53", 2 ^ 53},
  {"huge string", string.rep("x", 1048576)}, {"empty string", ""}, {"string with NULs", "a\0b\0"},
  {"..", ".."}, {"/etc/passwd", "/etc/passwd"}, {"../../x", "../../x"}, {"*", "*"},
  {"numeric string", "12"}, {"true", true}, {"false", false},
  {"empty table", {}}, {"self-referencing table", self_table()},
  {"light userdata in [0]", {[0] = hostile_light}}, {"foreign userdata in [0]", {[0] = newproxy(true)}},
  {"deleted-object table", {[0] = 0}},
  {"light userdata", hostile_light}, {"null light userdata", hostile_null}, {"foreign userdata", newproxy(true)},
  {"function", function() return 1 end}, {"coroutine", coroutine.create(function() end)},
}
for _, name in ipairs(constructors) do patterns[#patterns + 1] = {name .. " object", objects[name]} end

-- An object of the class inside a complete scene graph: scene, layer, object, component.
local function attached(class)
  local scene = Scene()
  if class == "Scene" then return scene, {scene} end
  local layer = Layer()
  scene:attach_layer(layer)
  if class == "Layer" then return layer, {scene} end
  local object = GameObject()
  layer:attach_object(object)
  if class == "GameObject" then return object, {scene} end
  local component = _G[class]()
  object:attach_component(component)
  return component, {scene}
end

targets = {}
local keep = {}
for _, name in ipairs(engine_globals) do
  if type(_G[name]) == "function" then
    targets[#targets + 1] = {name = name, fn = _G[name]}
  end
end
for _, class in ipairs(constructors) do
  for _, where in ipairs({"loose", "attached"}) do
    local object, anchors
    if where == "loose" then
      object = _G[class]()
    else
      object, anchors = attached(class)
    end
    keep[#keep + 1] = {object, anchors}
    local names = {}
    for key, value in pairs(object) do
      if type(key) == "string" and type(value) == "function" then names[#names + 1] = key end
    end
    table.sort(names)
    for _, method in ipairs(names) do
      targets[#targets + 1] = {name = class .. ":" .. method .. " (" .. where .. ")", fn = object[method], self = object}
    end
  end
end
hostile_keep = keep

-- Call shapes per pattern p: f(p) and f(p, p, p, p, p, p); for a method, the same after
-- its object, and the method with p in place of its object.
local function shapes(target)
  return target.self and 3 or 2
end

function hostile_call_count(t)
  return (#patterns + 1) * shapes(targets[t])
end

function hostile_target_name(t) return targets[t].name end
function hostile_target_count() return #targets end

function hostile_describe(t, i)
  local target = targets[t]
  local n = shapes(target)
  local p = math.floor((i - 1) / n)
  local shape = (i - 1) % n
  local label = p == 0 and "no argument" or patterns[p][1]
  local forms = {"(p)", "(p, p, p, p, p, p)", "with p as its object"}
  return target.name .. " " .. forms[shape + 1] .. ", p = " .. label
end

function hostile_call(t, i)
  local target = targets[t]
  local n = shapes(target)
  local p = math.floor((i - 1) / n)
  local shape = (i - 1) % n
  local f, self = target.fn, target.self
  if p == 0 then
    if shape == 2 then return pcall(f) end
    if self then return pcall(f, self) end
    return pcall(f)
  end
  local v = patterns[p][2]
  if shape == 2 then return pcall(f, v) end
  if shape == 0 then
    if self then return pcall(f, self, v) end
    return pcall(f, v)
  end
  if self then return pcall(f, self, v, v, v, v, v, v) end
  return pcall(f, v, v, v, v, v, v)
end
)lua";
