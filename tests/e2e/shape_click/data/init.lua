-- A circle and a mask decide which object a click hits: a layer with a circle of radius
-- 20 at (80, 120) and a 40 x 40 mask centred on (240, 120) whose left half is solid.
-- Every click is logged with what it hit; the game ends after four clicks (or 45 s).
local scene
local clicks = 0
local elapsed = 0

local function make_object(layer, id, x, y, shape, definition)
  local object = GameObject()
  object.on_left_click = function(self) log('hit ' .. id .. ' at click ' .. clicks) end
  layer:attach_object(object)
  object:setup({id = id, x = x, y = y})
  object:attach_component(shape)
  shape:setup(definition)
  object:finalize_setup()
end

function boot() end

function init()
  scene = Scene()
  local layer = Layer()
  scene:attach_layer(layer)
  layer:setup({id = 'shapes'})
  layer:finalize_setup()
  make_object(layer, 'circle', 80, 120, CircleShapeComponent(), {radius = 20})
  make_object(layer, 'mask', 240, 120, MaskShapeComponent(), {mask = 'blob', cx = -1, cy = -1})
  log('shapes: ready')
end

function update(dt)
  elapsed = elapsed + dt
  if mouse.left_click then
    clicks = clicks + 1
    log('click ' .. clicks .. ' at ' .. mouse.x .. ',' .. mouse.y)
  end
  scene:update(dt)
  if clicks == 4 or elapsed > 45 then sys_exit() end
end

function render()
  scene:render()
end
