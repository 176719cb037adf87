-- The example game: it boots, opens the window and runs frames.
local frames = 0

function boot()
  log("demo: boot")
end

function init()
  log("demo: init")
end

function update(dt)
  frames = frames + 1
  if frames == 30 then log("demo: 30 frames") end
end

function render()
end

function destroy()
  log("demo: destroyed after " .. frames .. " frames")
end
