-- Ships blow up: each one's on_destroy spawns an explosion into the layer it leaves, at
-- the place it was, and the explosions play out. Then the whole layer goes: the last
-- ship's explosion has no layer to go into, and the game runs on to its end.
local scene, field
local frames, spawned, exploded = 0, 0, 0

local function explosion_done(self)
  exploded = exploded + 1
  log('boom: ' .. self:id() .. ' done in ' .. self:layer():id())
end

local function explode(self)
  local x, y = self:xy()
  local explosion = GameObject()
  self:layer():attach_object(explosion)
  explosion:setup({id = 'explosion of ' .. self:id(), x = x, y = y, kill_timer = 0})
  explosion.on_destroy = explosion_done
  explosion:finalize_setup()
  if explosion:layer() then spawned = spawned + 1 end
  log('boom: ' .. self:id() .. ' destroyed in ' .. self:layer():id() .. ' at ' .. x .. ',' .. y ..
      ', explosion in ' .. tostring(explosion:layer() and explosion:layer():id()))
end

local function hull_gone(self)
  log('boom: hull of ' .. self:object():id() .. ' in ' .. self:object():layer():id())
end

local function add_ship(id, x, y)
  local ship = GameObject()
  field:attach_object(ship)
  ship:setup({id = id, x = x, y = y})
  local hull = BoxShapeComponent()
  ship:attach_component(hull)
  hull:setup({w = 8, h = 8})
  hull.on_destroy = hull_gone
  hull:finalize_setup()
  ship.on_destroy = explode
  ship:finalize_setup()
end

function boot() end

function init()
  scene = Scene()
  field = Layer()
  scene:attach_layer(field)
  field:setup({id = 'field'})
  field:finalize_setup()
  add_ship('ship1', 10, 20)
  add_ship('ship2', 100, 50)
  add_ship('ship3', 200, 120)
  log('boom: ready with ' .. #field:objects() .. ' ships')
end

function update(dt)
  frames = frames + 1
  if frames == 5 then field:object('ship1'):kill() end
  if frames == 10 then field:object('ship2'):kill() end
  if frames == 15 then log('boom: left in the field: ' .. #field:objects()) end
  if frames == 20 then scene:remove_all_layers() end
  scene:update(dt)
  if frames == 25 then
    log('boom: ' .. frames .. ' frames, ' .. spawned .. ' explosions spawned, ' .. exploded .. ' done, ' ..
        #scene:layers() .. ' layers left')
    sys_exit()
  end
end

function render()
  scene:render()
end

function destroy() log('boom: destroyed') end
