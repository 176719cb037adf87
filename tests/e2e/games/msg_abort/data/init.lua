-- Message boxes answered by the harness: Retry shows the id again, Ignore silences it,
-- Abort closes the game through the normal close path before another frame runs.
local frames = 0
function boot() end
function init() end
function update(dt)
  frames = frames + 1
  if frames == 1 then
    msg("check the save", 3)   -- retry
    msg("check the save", 3)   -- ignore
    msg("check the save", 3)   -- silenced: no box
    msg("plain note")          -- ok
    msg("give up", 4)          -- abort
    log("boxes done")
  else
    log("frame after abort")
  end
end
function render() end
function destroy() log("destroyed after " .. frames .. " frames") end
