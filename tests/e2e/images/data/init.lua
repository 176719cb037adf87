-- Images stored in the ways the loader once got wrong (top-down, a palette shorter than
-- its indices, right to left), drawn side by side and saved; a screenshot too large for
-- its file is refused and the game goes on. The test writes the images.
local frames = 0

function boot() end

function init()
  log('images: top-down valid ' .. tostring(gfx_is_bitmap_valid('top.bmp')))
  log('images: short palette valid ' .. tostring(gfx_is_bitmap_valid('short.bmp')))
  top = gfx_load_bitmap('top.bmp')
  short = gfx_load_bitmap('short.bmp')
  rtl = gfx_load_bitmap('rtl.tga')
end

function update(dt)
  frames = frames + 1
end

function render()
  gfx_render_box(0, 0, 320, 240, 1, 0, '000040')
  gfx_render_sprite(top, 'main', 40, 40)
  gfx_render_sprite(short, 'main', 100, 40)
  gfx_render_sprite(rtl, 'main', 160, 40)
  if frames == 3 then
    gfx_screenshot('huge.bmp', 100000, 100000)
    log('images: going on after the huge screenshot')
    gfx_screenshot('shot.bmp')
    log('images: screenshot taken')
    sys_exit()
  end
end
