-- Scripts may replace the tables the engine refreshes every frame.
local frames = 0
function boot() end
function init() end
function update(dt)
  frames = frames + 1
  if frames == 1 then
    mouse = 5
    touchpad = "pad"
    velk = nil
  elseif frames == 4 then
    log("still running with mouse " .. tostring(mouse) .. ", touchpad " .. touchpad .. ", velk " .. tostring(velk))
    sys_exit()
  end
end
function render() end
