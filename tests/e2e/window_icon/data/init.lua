-- Shows its window (with the icon that config.cfg names) until a click or 45 s.
local elapsed = 0

function boot() end
function init() log('icon: ready') end

function update(dt)
  elapsed = elapsed + dt
  if mouse.left_click or elapsed > 45 then sys_exit() end
end

function render() end
