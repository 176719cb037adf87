-- The entry points in the order the engine calls them, then a clean end by sys_exit.
local frames = 0
function boot() log("boot") end
function init() log("init") end
function on_regained_focus() log("on_regained_focus frame " .. frames) end
function update(dt)
  frames = frames + 1
  if type(dt) ~= "number" or dt <= 0 or dt > 0.5 then log("bad dt " .. tostring(dt)) end
  if frames == 3 then
    log("three frames")
    sys_exit()
  end
end
function render() end
function destroy() log("destroy after " .. frames .. " frames") end
