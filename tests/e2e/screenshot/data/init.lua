-- Draws a small scene through the graphics API and the bitmap components, then saves a
-- screenshot of the third frame and ends. The test writes hero.png and strip.png.
local frames = 0

function boot() end

function init()
  scene = Scene()
  local layer = Layer()
  scene:attach_layer(layer)
  local hero = GameObject()
  hero:setup{x = 200, y = 60}
  local bitmap = BitmapComponent()
  bitmap:setup{bitmap = 'hero.png'}
  hero:attach_component(bitmap)
  layer:attach_object(hero)
  local walker = GameObject()
  walker:setup{x = 260, y = 60}
  local animation = AnimatedBitmapComponent()
  animation:setup{idle = 'fps=1 bitmap=strip.png f1 f2'}
  walker:attach_component(animation)
  layer:attach_object(walker)
  local flag = GameObject()
  flag:setup{x = 200, y = 160}
  local grid = AnimatedGridComponent()
  grid:setup{bitmap = 'hero.png', rows = 2, columns = 2}
  flag:attach_component(grid)
  layer:attach_object(flag)
  canvas = gfx_create_bitmap(32, 32, true)
end

function update(dt)
  frames = frames + 1
  scene:update(dt)
end

function render()
  gfx_render_box(0, 0, 320, 240, 1, 0, '000040')
  gfx_render_target(canvas, '00ff00', 1)
  gfx_render_box(8, 8, 16, 16, 1, 0, 'ffffff')
  gfx_render_target(nil)
  gfx_render_sprite(canvas, 'main', 60, 60)
  gfx_render_sprite(canvas, 'main', 60, 160, 1, 0, 0.5, 0.5, 'ff0000')
  scene:render()
  if frames == 3 then
    gfx_screenshot('shot.bmp')
    log('gfx: screenshot taken')
    sys_exit()
  end
end
