-- Bitmap-font text in a font that was never loaded, asked for every frame by a text
-- component and by the flat function, for ten seconds of game time in dev_mode.
local elapsed, frames = 0, 0

function boot() end

function init()
  scene = Scene()
  local layer = Layer()
  scene:attach_layer(layer)
  local object = GameObject()
  object:setup{x = 10, y = 10}
  local label = TextComponent()
  label:setup{font = 'missing12', text = 'never drawn'}
  object:attach_component(label)
  layer:attach_object(object)
  log('text: init')
end

function update(dt)
  frames = frames + 1
  elapsed = elapsed + dt
  scene:update(dt)
  if elapsed >= 10 then
    log(string.format('text: %d frames', frames))
    sys_exit()
  end
end

function render()
  scene:render()
  gfx_render_text('missing12', 10, 40, 'never drawn either')
end
