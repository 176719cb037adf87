-- Scene-graph components through the real executable: a nine-patch box at angle 0 and
-- one turned a quarter, a button whose rectangle grows around its centred label (its box
-- shape follows), an effect that reports its end and kills its object, and a script component
-- that draws. A screenshot at frame 5; the game ends once the effect is gone, or, when
-- `wait_for_clicks` is set, after two clicks (or 45 s).
local scene, layer
local frames, elapsed, clicks, kills = 0, 0, 0, 0

local function add_object(x, y, angle)
  local object = GameObject()
  object:setup({x = x, y = y, angle = angle or 0})
  layer:attach_object(object)
  return object
end

local function add_component(object, component, definition)
  component:setup(definition)
  object:attach_component(component)
  return component
end

local function add_button()
  local button = add_object(60, 150)
  button.on_left_click = function() log('button: hit at click ' .. clicks) end
  add_component(button, BoxShapeComponent(), {})
  add_component(button, RectangleComponent(), {cx = 30, cy = 20, color = 'ff0000', fit_to_component = 'label',
                                                padding = 10})
  add_component(button, BitmapComponent(), {id = 'label', bitmap = 'label.png'})
  button:finalize_setup()
  button:prepare_components()
  log('button: size ' .. table.concat({button:component('rectangle'):size()}, 'x'))
end

local function add_effect()
  local holder = add_object(250, 180)
  holder.on_kill = function()
    kills = kills + 1
    log('effect: kill ' .. kills)
  end
  holder:finalize_setup()
  add_component(holder, ParticleComponent(), {particle = 'once.txt', kill_when_finished = true,
                                              on_finished = 'effect_done'})
end

local function add_painter()
  local painter = add_component(add_object(150, 200), ScriptComponent(), {})
  painter.updates = 0
  function painter.on_update(self) self.updates = self.updates + 1 end
  function painter.on_render(self)
    local x, y = self:xy_abs()
    gfx_render_box(x, y, 10, 10, 1, 0, '00ff00')
  end
  painter:finalize_setup()
  return painter
end

function boot() end

function init()
  scene = Scene()
  layer = Layer()
  scene:attach_layer(layer)
  function layer.effect_done(self, component) log('effect: finished ' .. tostring(component:finished())) end
  add_component(add_object(20, 20), FluidBoxComponent(), {bitmap = 'patches.png', w = 52, h = 32, cx = 0, cy = 0})
  add_component(add_object(200, 20, 90), FluidBoxComponent(), {bitmap = 'patches.png', w = 52, h = 32, cx = 0,
                                                                cy = 0})
  add_button()
  add_effect()
  painter = add_painter()
  log('components: ready')
end

function update(dt)
  frames = frames + 1
  elapsed = elapsed + dt
  if mouse.left_click then
    clicks = clicks + 1
    log('click ' .. clicks .. ' at ' .. mouse.x .. ',' .. mouse.y)
  end
  scene:update(dt)
  local effect_gone = #layer:objects() == 4
  if frames == 6 then log('painter: updates ' .. painter.updates) end
  if wait_for_clicks then
    if clicks == 2 or elapsed > 45 then sys_exit() end
  elseif (frames > 6 and effect_gone) or elapsed > 45 then
    log('effect: objects left ' .. #layer:objects())
    sys_exit()
  end
end

function render()
  gfx_render_box(0, 0, 320, 240, 1, 0, '000040')
  scene:render()
  if frames == 5 then
    gfx_screenshot('shot.bmp')
    log('components: screenshot taken')
  end
end
