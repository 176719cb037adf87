-- The developer console under real keys: a line typed there sets `ran` to the game's
-- update count; once the console closes, the first update reports how many updates
-- passed since (1 when none ran while it was open). Gives up after 45 s.
updates = 0  -- global: the console's line reads it
local elapsed = 0

function boot() end

function init()
  log('console: ready')
end

function update(dt)
  updates = updates + 1
  elapsed = elapsed + dt
  if ran then
    log('console: updates since the line ' .. (updates - ran))
    sys_exit()
  elseif elapsed > 45 then
    sys_exit()
  end
end

function render() end
