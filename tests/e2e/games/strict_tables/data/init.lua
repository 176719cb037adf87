-- A strict script: reading or writing an undeclared global raises, and the engine's own
-- mouse and velk tables refuse writes. The engine writes its tables and looks up the
-- entry points it can do without raw, so the game runs to its end.
local frames = 0

function boot() end
function init() log('strict: init') end

function update(dt)
  frames = frames + 1
  if frames == 10 then
    log('strict: ran ' .. frames .. ' frames, mouse x ' .. tostring(mouse.x))
    sys_exit()
  end
end

function render() end
function destroy() log('strict: destroyed') end

local function refuse(_, key) error('undeclared ' .. tostring(key), 2) end
setmetatable(_G, {__index = refuse, __newindex = refuse})
for _, engine_table in ipairs({mouse, velk}) do
  setmetatable(engine_table, {__newindex = function(_, key) error('read-only ' .. tostring(key), 2) end})
end
