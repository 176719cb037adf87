-- Circle shapes hit by the square of their radius: one never fitted (radius -1) hits as
-- radius 1, one set to -5 as radius 5.
local frames = 0
local scene, unfitted, negative

function boot() end

function init()
  scene = Scene()
  local layer = Layer()
  scene:attach_layer(layer)
  local object = GameObject()
  object:setup{x = 100, y = 100}
  layer:attach_object(object)
  unfitted = CircleShapeComponent()
  object:attach_component(unfitted)
  object:prepare_components()
  local other = GameObject()
  other:setup{x = 200, y = 100}
  layer:attach_object(other)
  negative = CircleShapeComponent()
  negative:setup{radius = 3}
  other:attach_component(negative)
  negative:set_radius(-5)
end

local function hits(shape, x, y) return tostring(shape:point_inside(x, y)) end

function update(dt)
  frames = frames + 1
  scene:update(dt)
  if frames == 2 then
    log('unfitted ' .. unfitted:radius() .. ': ' .. hits(unfitted, 100, 100) .. ' ' .. hits(unfitted, 101, 100) ..
        ' ' .. hits(unfitted, 101, 101))
    log('negative ' .. negative:radius() .. ': ' .. hits(negative, 203, 104) .. ' ' .. hits(negative, 200, 105.5))
    sys_exit()
  end
end

function render() scene:render() end
