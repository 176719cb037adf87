-- A menu with one button; a click on it switches to the game screen from the click
-- handler itself. Everything that fires is logged, in order.
local scene
local frames = 0
local game_updates = 0

local function make_object(layer, id, x, y, callbacks)
  local object = GameObject()
  for name, f in pairs(callbacks) do object[name] = f end
  layer:attach_object(object)
  object:setup({id = id, x = x, y = y})
  local shape = BoxShapeComponent()
  object:attach_component(shape)
  shape:setup({w = 40, h = 40})
  object:finalize_setup()
  return object
end

local function make_layer(id)
  local layer = Layer()
  scene:attach_layer(layer)
  layer:setup({id = id})
  layer:finalize_setup()
  return layer
end

local build_game

local function build_menu()
  local menu = make_layer("menu")
  make_object(menu, "start", 40, 40, {
    on_mouse_in = function(self) log("start: mouse in") end,
    on_left_click = function(self)
      log("start: clicked at frame " .. frames)
      scene:remove_everything()
      build_game()
      log("screens switched: " .. #scene:layers() .. " layer " .. scene:layers()[1]:id())
    end,
    on_destroy = function(self) log("start: destroyed") end,
  })
end

build_game = function()
  local game = make_layer("game")
  make_object(game, "player", 200, 100, {
    on_update = function(self, dt)
      game_updates = game_updates + 1
      if game_updates == 1 then log("player: first update") end
      if game_updates == 3 then
        log("player: three updates, stats " .. type(velk.drawn_call_count))
        sys_exit()
      end
    end,
    on_destroy = function(self) log("player: destroyed") end,
  })
end

function boot() end
function init()
  scene = Scene()
  build_menu()
  log("menu ready")
end
function update(dt)
  frames = frames + 1
  scene:update(dt)
  if frames == 600 then
    log("no click arrived")
    sys_exit()
  end
end
function render() scene:render() end
function destroy()
  scene = nil
  collectgarbage("collect")
  log("destroyed")
end
