-- The entry points in the order the engine calls them, then a clean end by sys_exit.
local frames = 0
function boot() log("script: boot") end
function init() log("script: init") end
function on_regained_focus() log("script: on_regained_focus at frame " .. frames) end
function update(dt)
  frames = frames + 1
  if type(dt) ~= "number" or dt <= 0 or dt > 0.5 then log("script: bad dt " .. tostring(dt)) end
  if frames == 3 then
    log("script: three frames")
    sys_exit()
  end
end
function render() end
function destroy() log("script: destroy after " .. frames .. " frames") end
