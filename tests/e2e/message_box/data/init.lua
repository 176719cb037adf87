-- A warning box opens over the running game (dev_mode). The test sends SIGTERM while it
-- is open: the box goes, a second warning opens none, and the game ends through its
-- shutdown.
local frames = 0
function boot() end
function init() end
function update()
  frames = frames + 1
  if frames ~= 20 then return end
  log('box: opening')
  gfx_release_bitmap(nil)
  log('box: closed')
  gfx_release_bitmap(nil)
  log('box: second warning passed')
end
function render() gfx_render_box(0, 0, 320, 240, 1, 0, '204060') end
function destroy() log('box: destroyed') end
