-- TrueText in a window twice the game's size, with the built-in font (16-pixel lines,
-- "i" 2 pixels wide, "A" 7) in yellow: sizes the script measures, a text component that
-- measures itself, a text drawn by the flat function, then a screenshot.
local frames = 0
local label

function boot() end

function init()
  local w, h = gfx_text_size('system10', 'ii')
  log(string.format('text: size %dx%d', w, h))
  w, h = gfx_text_size('system10', '')
  log(string.format('text: empty %dx%d', w, h))
  scene = Scene()
  local layer = Layer()
  scene:attach_layer(layer)
  local object = GameObject()
  object:setup{x = 40, y = 60}
  label = TextComponent()
  label:setup{font = 'system10', text = 'ii'}
  object:attach_component(label)
  layer:attach_object(object)
  label:set_text('AA')
  log(string.format('text: component %dx%d', label:width(), label:height()))
  log('text: init')
end

function update(dt)
  frames = frames + 1
  scene:update(dt)
end

function render()
  gfx_render_box(0, 0, 320, 240, 1, 0, '000000')
  scene:render()
  -- Right-aligned at x 200: the text ends there.
  gfx_render_text('system10', 200, 60, 'AAA', 'right top')
  if frames == 5 then
    gfx_screenshot('shot.bmp')
    log('text: screenshot taken')
    sys_exit()
  end
end
