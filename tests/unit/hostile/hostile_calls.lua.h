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

-- Tables that answer every field they are asked for (definitions, vertices): with a
-- hostile value, with an error, or by tearing down every scene graph of the sweep.
local function answering(value)
  return setmetatable({}, {__index = function() return value end})
end
function hostile_wreck()
  for _, kept in ipairs(hostile_keep or {}) do
    for _, scene in ipairs(kept[2] or {}) do pcall(scene.remove_everything, scene) end
  end
  collectgarbage()
end
local every_field = {
  {"1e308", 1e308}, {"-1e308", -1e308}, {"nan", 0 / 0}, {"-1", -1}, {"2^31", 2 ^ 31},
  {"huge string", string.rep("y", 65536)}, {"/etc/passwd", "/etc/passwd"}, {"the bitmap file", "b.png"},
  {"an animation spec", "loop ping cosine 0=1e308 +1e-30=-1e308 0=0"}, {"true", true}, {"a table", {}},
  {"a function", function() end},
}
for _, answer in ipairs(every_field) do
  patterns[#patterns + 1] = {"table answering every field with " .. answer[1], answering(answer[2])}
end
-- A text nobody else holds, made after a full collection: one read's text is gone by the
-- next read unless the engine copied it at once.
patterns[#patterns + 1] = {"table answering every field with a fresh text after a collection",
  setmetatable({}, {__index = function(_, key)
    collectgarbage()
    return "b.png" .. string.rep(" ", 40) .. tostring(key)
  end})}
patterns[#patterns + 1] = {"table raising an error for every field",
  setmetatable({}, {__index = function(_, key) error("no field " .. tostring(key)) end})}
patterns[#patterns + 1] = {"table tearing down the scene graphs for every field",
  setmetatable({}, {__index = function() hostile_wreck() end})}
-- Each field is "12" when read once, nil when read again, and so on: a check and the
-- read that follows it disagree.
local reads = {}
patterns[#patterns + 1] = {"table whose fields change between reads", setmetatable({}, {__index = function(_, key)
  reads[key] = (reads[key] or 0) + 1
  if reads[key] % 2 == 1 then return "12" end
end})}
patterns[#patterns + 1] = {"four vertices answering 1e308", {answering(1e308), answering(-1e308), answering(1e308), answering(0 / 0)}}
patterns[#patterns + 1] = {"three vertices", {{x = 1}, {x = 2}, {x = 3}}}
-- Live effect handles: every function and method may be handed a particle system or a
-- collision mask the scripts still hold.
if gfx_particle_start then
  patterns[#patterns + 1] = {"a live particle system", gfx_particle_start("p.txt", 1, 2)}
  patterns[#patterns + 1] = {"a live collision mask", gfx_collision_mask_load("b.png")}
end

-- The on_destroy of every part of the complete graphs below hits back while it goes: it
-- attaches to itself and to its container, which it then sorts and empties. Fields are
-- read raw: the object tables may carry raising metatables by then. What it attaches is
-- made beforehand, the same in every child of the sweep.
local spare_objects, spare_components = {}, {}
for i = 1, 8 do spare_objects[i], spare_components[i] = GameObject(), RectangleComponent() end
local function hit_back(self)
  local up = not rawget(self, "attach_object") and (rawget(self, "layer") or rawget(self, "object"))
  local container = up and select(2, pcall(up, self))
  for _, target in ipairs({self, container}) do
    if type(target) == "table" then
      local attach_object, attach_component = rawget(target, "attach_object"), rawget(target, "attach_component")
      if attach_object then pcall(attach_object, target, spare_objects[#spare_objects]) end
      if attach_component then pcall(attach_component, target, spare_components[#spare_components]) end
      -- The spent one is the container's now (or refused, and still the collector's).
      spare_objects[#spare_objects], spare_components[#spare_components] = nil, nil
      for _, name in ipairs({"sort", "objects", "remove_all_objects"}) do
        if rawget(target, name) then pcall(rawget(target, name), target) end
      end
    end
  end
end
local function hitting_back(...)
  for _, part in ipairs({...}) do
    part.on_destroy = hit_back
    pcall(part.finalize_setup, part)
  end
end

-- An object of the class inside a complete scene graph: scene, layer, object, component.
local function attached(class)
  local scene = Scene()
  if class == "Scene" then return scene, {scene} end
  local layer = Layer()
  scene:attach_layer(layer)
  hitting_back(layer)
  if class == "Layer" then return layer, {scene} end
  local object = GameObject()
  layer:attach_object(object)
  hitting_back(object)
  if class == "GameObject" then return object, {scene} end
  local component = _G[class]()
  object:attach_component(component)
  hitting_back(component)
  -- Something to draw for the classes that can be set up without further data.
  local drawable = {BitmapComponent = true, AnimatedGridComponent = true}
  if drawable[class] then component:setup({bitmap = "b.png", rows = 2, columns = 2, fx = "bend"}) end
  if class == "MaskShapeComponent" then component:setup({mask = "b.png"}) end
  if class == "ParticleComponent" then component:setup({particle = "p.txt", on_finished = "gone"}) end
  if class == "FluidBoxComponent" then component:setup({bitmap = "fb.png", w = 40, h = 30}) end
  if class == "RectangleComponent" then component:setup({w = 10, h = 10, fit_to_component = "*", padding = 2}) end
  return component, {scene}
end

targets = {}
local keep = {}
for _, name in ipairs(engine_globals) do
  if type(_G[name]) == "function" then
    targets[#targets + 1] = {name = name, fn = _G[name], group = "functions"}
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
      targets[#targets + 1] = {name = class .. ":" .. method .. " (" .. where .. ")", fn = object[method], self = object,
                               group = class, scenes = anchors}
    end
  end
end
hostile_keep = keep

-- What a script can do to a box with the base and debug libraries, to a fresh object of
-- the class, loose or in its own scene graph, which is then updated, drawn, emptied and
-- collected.
local function forget(value)
  for key, entry in pairs(registry) do
    if entry == value then registry[key] = nil end
  end
end
local function registry_userdata()
  local list = {}
  for _, value in pairs(registry) do
    if type(value) == "userdata" then list[#list + 1] = value end
  end
  return list
end
local box_tamperings = {
  {"taken out of the registry with its table", function(o)
    forget(o[0])
    forget(o)
    o[0] = nil
  end},
  {"given its class finaliser", function(o, class)
    debug.setmetatable(o[0], registry[class])
    o[0] = 0
  end},
  {"stripped of its finaliser", function(o)
    debug.setmetatable(o[0], nil)
    o[0] = 0
  end},
  {"dropped while the class has no finaliser", function(o, class)
    local meta = registry[class]
    local gc = meta.__gc
    meta.__gc = nil
    o[0] = 0
    collectgarbage()
    meta.__gc = gc
  end},
  {"finalised by hand twice", function(o, class)
    pcall(registry[class].__gc, o[0])
    pcall(registry[class].__gc, o[0])
  end},
  {"given a raising metatable on its class metatable", function(o, class)
    local meta = registry[class]
    local old = getmetatable(meta)
    setmetatable(meta, {__index = error, __newindex = error, __gc = error})
    o[0] = 0
    collectgarbage()
    setmetatable(meta, old)
  end},
  {"in place of every registry userdata in forged tables", function(o)
    for _, value in ipairs(registry_userdata()) do
      for _, method in pairs(o) do
        if type(method) == "function" then pcall(method, {[0] = value}) end
      end
    end
  end},
  {"swapping metatables with every finalised registry userdata", function(o)
    for _, value in ipairs(registry_userdata()) do
      local meta = getmetatable(value)
      if meta and meta.__gc and o[0] then
        debug.setmetatable(value, getmetatable(o[0]))
        debug.setmetatable(o[0], meta)
        pcall(meta.__gc, value)
        pcall(rawget(getmetatable(value) or {}, "__gc"), value)
      end
    end
    o[0] = 0
  end},
}
local function tamper_with_box(target, k)
  local object, scenes
  if target.where == "loose" then
    object = _G[target.class]()
  else
    object, scenes = attached(target.class)
  end
  box_tamperings[k][2](object, target.class)
  collectgarbage()
  for _, scene in ipairs(scenes or {}) do
    pcall(scene.update, scene, 1 / 60)
    pcall(scene.render, scene)
    pcall(scene.remove_everything, scene)
  end
  collectgarbage()
end
for _, class in ipairs(constructors) do
  for _, where in ipairs({"loose", "attached"}) do
    local target = {name = class .. " box (" .. where .. ")", group = class, class = class, where = where}
    target.fn = function() tamper_with_box(target, 1) end
    target.tampered = true
    targets[#targets + 1] = target
  end
end

-- Sound first arguments, so that the hostile ones after them reach deeper.
local bitmap = gfx_create_bitmap and gfx_create_bitmap(16, 16, true)

-- The call shapes, for a pattern p: f(p), f(p, p, p, p, p, p), f(good, p, p, p, p, p)
-- for sound first arguments, and f(p) from inside a coroutine; a method is called after
-- its object, and also with p in place of its object.
local function shape_list(target)
  if target.tampered then
    local list = {}
    for k, tampering in ipairs(box_tamperings) do list[k] = {tampering[1], "tampered", k} end
    return list
  end
  local list = {{"(p)", 1}, {"(p, p, p, p, p, p)", 6}}
  if target.self then
    list[#list + 1] = {"with p as its object", "object"}
  else
    list[#list + 1] = {"(a live bitmap, p, p, p, p, p)", 5, bitmap}
  end
  list[#list + 1] = {"(\"b.png\", p, p, p, p, p)", 5, "b.png"}
  list[#list + 1] = {"(1, p, p, p, p, p)", 5, 1}
  list[#list + 1] = {"(p) inside a coroutine", "coroutine"}
  list[#list + 1] = {"(p) under raising metatables", "raising"}
  return list
end
for _, target in ipairs(targets) do target.shapes = shape_list(target) end

-- A box is tampered with once per way, without an argument pattern.
function hostile_call_count(t)
  if targets[t].tampered then return #targets[t].shapes end
  return (#patterns + 1) * #targets[t].shapes
end

function hostile_target_name(t) return targets[t].name end

-- The targets of a group: "functions" (the global functions) or a class name.
function hostile_group_targets(group)
  local list = {}
  for t, target in ipairs(targets) do
    if target.group == group then list[#list + 1] = t end
  end
  return list
end
hostile_classes = constructors

-- Call i of target t: pattern index (0: no argument) and shape.
local function decode(t, i)
  local n = #targets[t].shapes
  return math.floor((i - 1) / n), targets[t].shapes[(i - 1) % n + 1]
end

function hostile_describe(t, i)
  local p, shape = decode(t, i)
  return targets[t].name .. " " .. shape[1] .. ", p = " .. (p == 0 and "no argument" or patterns[p][1])
end

-- Calls made while memory runs out: sound arguments, and the allocations granted to the
-- call counting up from 0.
hostile_scarce_tries = 24
local scarce_arguments = {{n = 0}, {n = 5, "b.png", 1, 2, 3, true}, {n = 4, bitmap, "b.png", 1, 2}}
hostile_scarce_count = hostile_scarce_tries * #scarce_arguments

function hostile_scarce_describe(t, s)
  local v = math.floor((s - 1) / hostile_scarce_tries)
  return targets[t].name .. " with sound arguments " .. v + 1 .. ", memory running out after " ..
         (s - 1) % hostile_scarce_tries .. " allocations"
end

-- Pushes the function and its arguments of scarce call s; the argument count (the object
-- included).
function hostile_scarce_push(t, s)
  local target = targets[t]
  local args = scarce_arguments[math.floor((s - 1) / hostile_scarce_tries) + 1]
  collectgarbage()
  if target.self then return target.fn, target.self, unpack(args, 1, args.n) end
  return target.fn, unpack(args, 1, args.n)
end

-- In place of the object every table without a box takes the same path: the empty table
-- and the deleted object's stand for them all.
local function object_like(pattern)
  local v = pattern[2]
  if type(v) ~= "table" then return true end
  return pattern[1] == "empty table" or pattern[1] == "deleted-object table" or type(rawget(v, 0)) ~= "nil"
end

-- The arguments after the object (or all of them, for a global function).
local function arguments(shape, p)
  local v = p > 0 and patterns[p][2] or nil
  local count, good = shape[2], shape[3]
  if count == 1 then return p == 0 and {n = 0} or {n = 1, v} end
  if count == 6 then return p == 0 and {n = 0} or {n = 6, v, v, v, v, v, v} end
  if p == 0 then return {n = 1, good} end
  return {n = 6, good, v, v, v, v, v}
end

-- Metatables that raise on every read of an absent field and every new field: on the
-- engine's tables, on _G (a strict-globals script) and on the object tables; the call,
-- the scene entries and the frame's own refresh run under them, then they are undone.
local raising = {__index = function(_, k) error("read " .. tostring(k)) end,
                 __newindex = function(_, k) error("written " .. tostring(k)) end}
local function under_raising_metatables(run)
  local pcall, setmetatable, getmetatable, ipairs, refresh = pcall, setmetatable, getmetatable, ipairs,
                                                              hostile_engine_refresh
  local tables = {mouse, touchpad, velk}
  for _, kept in ipairs(keep) do
    if type(kept[1]) == "table" then tables[#tables + 1] = kept[1] end
  end
  tables[#tables + 1] = _G
  local old = {}
  for n, t in ipairs(tables) do
    old[n] = getmetatable(t)
    pcall(setmetatable, t, raising)
  end
  run()
  refresh()
  for n, t in ipairs(tables) do pcall(setmetatable, t, old[n]) end
end

function hostile_call(t, i)
  local target = targets[t]
  local p, shape = decode(t, i)
  local f, self = target.fn, target.self
  if shape[2] == "tampered" then return tamper_with_box(target, shape[3]) end
  if shape[2] == "raising" then
    local v = p > 0 and patterns[p][2] or nil
    local count = p > 0 and 1 or 0
    local scenes = target.scenes or {}
    return under_raising_metatables(function()
      if self then pcall(f, self, unpack({v}, 1, count)) else pcall(f, unpack({v}, 1, count)) end
      for _, scene in ipairs(scenes) do
        pcall(scene.update, scene, 1 / 60)
        pcall(scene.render, scene)
      end
    end)
  end
  if shape[2] == "coroutine" then
    local v = p > 0 and patterns[p][2] or nil
    local count = p > 0 and 1 or 0
    coroutine.resume(coroutine.create(function()
      if self then return f(self, unpack({v}, 1, count)) end
      return f(unpack({v}, 1, count))
    end))
    return
  end
  if shape[2] == "object" then
    if p == 0 then return pcall(f) end
    if not object_like(patterns[p]) then return end
    return pcall(f, patterns[p][2])
  end
  local args = arguments(shape, p)
  if self then
    pcall(f, self, unpack(args, 1, args.n))
  else
    pcall(f, unpack(args, 1, args.n))
  end
  -- Whatever state the call left is then updated and drawn.
  for _, scene in ipairs(target.scenes or {}) do
    pcall(scene.update, scene, 1 / 60)
    pcall(scene.render, scene)
  end
end
)lua";
