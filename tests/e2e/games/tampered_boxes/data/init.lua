-- A script that uses the debug library against its own objects' boxes: it takes an
-- attached object's table and box out of the registry and collects them, hands an
-- attached box its finaliser back, strips a loose box of its finaliser and calls the
-- finaliser by hand. The layer is then emptied and the game runs on to its end.
local frames = 0
local scene, layer, kept
local registry = debug.getregistry()

local function forget(value)
  for key, entry in pairs(registry) do
    if entry == value then registry[key] = nil end
  end
end

function boot() end

function init()
  scene = Scene()
  layer = Layer()
  scene:attach_layer(layer)
  local hidden = GameObject()
  layer:attach_object(hidden)
  forget(hidden[0])
  forget(hidden)
  hidden[0] = nil
  hidden = nil
  local returned = GameObject()
  layer:attach_object(returned)
  debug.setmetatable(returned[0], registry.GameObject)
  returned[0] = 0
  kept = GameObject()
  layer:attach_object(kept)
  kept.on_destroy = function() log('tampered: kept object destroyed') end
  kept:finalize_setup()
  local stripped = GameObject()
  debug.setmetatable(stripped[0], nil)
  local by_hand = GameObject()
  registry.GameObject.__gc(by_hand[0])
  log('tampered: ' .. tostring(pcall(registry.GameObject.__gc, kept[0])))
  collectgarbage()
  log('tampered: init')
end

function update(dt)
  frames = frames + 1
  scene:update(dt)
  if frames == 3 then
    layer:remove_all_objects()
    collectgarbage()
  elseif frames == 10 then
    local after = GameObject()
    layer:attach_object(after)
    log('tampered: ran ' .. frames .. ' frames, ' .. tostring(after:x()))
    sys_exit()
  end
end

function render() scene:render() end
function destroy() log('tampered: destroyed') end
