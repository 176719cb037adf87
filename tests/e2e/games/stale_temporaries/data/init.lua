-- Saves the same slot every frame, as a game keeping its state would. storage_game_test.cpp
-- runs it again with temporary files of killed earlier runs planted beside the slot.
local frames = 0

local function listing(pattern)
  local names = {}
  for name in pairs(file_search(pattern, true, false, true)) do names[#names + 1] = name end
  table.sort(names)
  return table.concat(names, " ")
end

function boot() end
function init() end
function update(dt)
  frames = frames + 1
  file_save("saves/slot.sav", "frame " .. frames)
  if frames == 30 then
    log("saved " .. file_load("saves/slot.sav"))
    log("listed " .. listing("saves/*"))
    sys_exit()
  end
end
function render() end
