-- Logs every press the game sees; ends at the fourth (or after 45 s).
local clicks = 0
local elapsed = 0

function boot() end
function init() log('clicks: ready') end

function update(dt)
  elapsed = elapsed + dt
  if mouse.left_click then
    clicks = clicks + 1
    log('click ' .. clicks .. ' at ' .. mouse.x .. ',' .. mouse.y)
  end
  if clicks == 4 or elapsed > 45 then sys_exit() end
end

function render() end
