-- Draws debug-font text every frame, has the window re-created (full screen) at frame 3,
-- then saves a screenshot at frame 8 and ends. The overlay (F2) is not involved.
local frames = 0

function boot() end
function init() log("text: init") end

function update(dt)
  frames = frames + 1
  if frames == 3 then gfx_full_screen(true) end
end

function render()
  gfx_render_box(0, 0, 320, 240, 1, 0, '000000')
  gfx_render_simple_text(10, 20, "HHHH")
  gfx_render_simple_text(10, 50, string.rep("\1", 2100) .. "H")
  if frames == 8 then
    gfx_screenshot('shot.bmp')
    log('text: screenshot taken')
    sys_exit()
  end
end
