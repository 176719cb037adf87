-- A 320 x 240 game in an 800 x 480 window: scale 2 with 80-pixel bars left and right.
-- A circle of radius 3 at (100, 60) logs its hits. The first click turns block-out on,
-- which parks the cursor at the drawing area's bottom-right corner; the second click (or
-- 45 s) ends the game.
local scene
local clicks = 0
local elapsed = 0
local parked = false

function boot() end

function init()
  scene = Scene()
  local layer = Layer()
  scene:attach_layer(layer)
  layer:setup({id = 'targets'})
  layer:finalize_setup()
  local object = GameObject()
  object.on_left_click = function(self) log('hit circle at click ' .. clicks) end
  layer:attach_object(object)
  object:setup({id = 'circle', x = 100, y = 60})
  local circle = CircleShapeComponent()
  object:attach_component(circle)
  circle:setup({radius = 3})
  object:finalize_setup()
  log('pointer: ready')
end

function update(dt)
  elapsed = elapsed + dt
  if mouse.left_click then
    clicks = clicks + 1
    log('click ' .. clicks .. ' at ' .. mouse.x .. ',' .. mouse.y)
    if clicks == 1 then mouse_block_out_not_pressed(false) end
  elseif clicks == 1 and not parked and not mouse.left_down and not mouse.left_up then
    parked = true
    log('parked at ' .. mouse.x .. ',' .. mouse.y)
  end
  scene:update(dt)
  if clicks == 2 or elapsed > 45 then sys_exit() end
end

function render()
  scene:render()
end
