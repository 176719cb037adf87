-- TrueText of a real face (fonts/dejavu.ttf, put there by the test) in white on black: a
-- wide word (its block turned in the cache), a tall one (upright), thin stems at a small
-- size, a text component, and the wide word again through a layer of half alpha; its
-- measured width is logged, then a screenshot is saved.
local frames = 0

function boot() end

function init()
  scene = Scene()
  local layer = Layer()
  scene:attach_layer(layer)
  local object = GameObject()
  object:setup{x = 200, y = 10}
  local label = TextComponent()
  label:setup{font = 'dejavu20', text = 'Hilly'}
  object:attach_component(label)
  layer:attach_object(object)
  local w, h = gfx_text_size('dejavu24', 'Toy')
  log(string.format('text: Toy %dx%d', w, h))
  log('text: init')
end

function update(dt)
  frames = frames + 1
  scene:update(dt)
end

function render()
  gfx_render_box(0, 0, 320, 240, 1, 0, '000000')
  scene:render()
  gfx_render_text('dejavu24', 10, 10, 'Toy', 'left top')
  gfx_render_text('dejavu24', 120, 10, 'I\nl', 'left top')
  gfx_render_text('dejavu10', 10, 100, 'lll iii', 'left top')
  gfx_render_text('half24', 10, 150, 'Toy', 'left top')
  if frames == 5 then
    gfx_screenshot('shot.bmp')
    log('text: screenshot taken')
    sys_exit()
  end
end
