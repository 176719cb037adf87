-- A video player on a game object. The test writes data/clip.ogv: 50 flat frames at
-- 25 fps, frame n of luma 16 + 10 * (n % 22). Screenshots: the first frame drawn (before
-- any update), one after a second of play, and one once the clip has ended.
local frames, elapsed, ended, middle = 0, 0, nil, nil

function boot() end

function init()
  scene = Scene()
  local layer = Layer()
  scene:attach_layer(layer)
  local screen = GameObject()
  screen:setup{x = 100, y = 60}
  player = VideoPlayerComponent()
  player:setup{video = 'clip', width = 320}
  screen:attach_component(player)
  layer:attach_object(screen)
  local w, h = player:size()
  log('video: size ' .. w .. 'x' .. h)
end

function update(dt)
  frames = frames + 1
  if frames == 1 then return end
  elapsed = elapsed + dt
  scene:update(dt)
  if not ended and not player:is_playing() then ended = elapsed end
end

function render()
  gfx_render_box(0, 0, 320, 240, 1, 0, '000040')
  scene:render()
  if frames == 1 then gfx_screenshot('first.bmp') end
  if not middle and elapsed >= 1 then
    middle = elapsed
    gfx_screenshot('middle.bmp')
    log(string.format('video: middle at %.4f', middle))
  end
  if ended then
    gfx_screenshot('last.bmp')
    log(string.format('video: ended at %.4f', ended))
    sys_exit()
  end
end
