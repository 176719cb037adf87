-- Saves, reloads, renames and lists files in the portable folder, logging what it read.
local function listing(pattern)
  local names = {}
  for name, size in pairs(file_search(pattern, true, true, true)) do names[#names + 1] = name .. "=" .. size end
  table.sort(names)
  return table.concat(names, " ")
end

function boot()
  file_save("saves/slot1.sav", "level=3\0gold=120")
  local back = file_load("saves/slot1.sav")
  log("read " .. #back .. " bytes: " .. back:gsub("%z", "|"))
  file_save("saves/secret.dat", "hidden", true)
  log("secret " .. file_load("saves/secret.dat"))
  log("rename onto slot1 " .. tostring(file_rename("saves/secret.dat", "saves/slot1.sav")))
  log("slot1 still " .. #file_load("saves/slot1.sav") .. " bytes")
  log("rename to slot2 " .. tostring(file_rename("saves/secret.dat", "saves/slot2.sav")))
  file_create_directory("saves/old")
  log("listed " .. listing("saves/*"))
  log("saves is a directory " .. tostring(file_exists("saves", false, true)) .. ", a file " .. tostring(file_exists("saves", true, false)))
  texts = {}
  file_load_strings("texts", "strings.txt")
  log("texts " .. texts.greeting .. " / " .. texts.farewell)
  log("removed " .. file_remove("saves/*.sav") .. ", left " .. listing("saves/*"))
  sys_exit()
end
function init() end
function update(dt) end
function render() end
