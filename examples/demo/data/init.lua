-- The example game: a scene of bitmaps, sprite-sheet animations, animated grids and a
-- looping video, with sprites, boxes, a render-target canvas and a fountain of sparks
-- drawn straight from the script; a title and a live counter in TrueText fonts; a
-- nine-patch panel holding a button that grows around its label and turns the sparks on
-- and off; a tune plays and every mouse click clicks.
local frames = 0
local time = 0
local sparks_on = true

local function add_object(layer, x, y, component, definition)
  local object = GameObject()
  object:setup{x = x, y = y}
  component:setup(definition)
  object:attach_component(component)
  layer:attach_object(object)
  return object, component
end

-- The title sits in the top right corner, clear of the panel and the orbiting stars.
local function add_title(layer)
  add_object(layer, 1004, 14, TextComponent(), {font = 'title44', text = 'Velk Demo', align = 'right top'})
end

local function sparks_label() return sparks_on and 'Sparks: on' or 'Sparks: off' end

-- A stretched nine-patch panel, and on it a button whose rectangle fits its label (with
-- padding) each time the label changes; its box shape follows, so clicks hit the rectangle.
-- The label stays out of the shape: a text's bounds start at its position whatever its
-- alignment, so a centred label's would reach half its width past the button.
local function add_sparks_button(layer)
  add_object(layer, 772, 596, FluidBoxComponent(), {bitmap = 'demo/bubble.png', w = 232, h = 112, cx = 0, cy = 0})
  local button = GameObject()
  button:setup{x = 888, y = 652}
  button:attach_component(BoxShapeComponent())
  local rectangle = RectangleComponent()
  rectangle:setup{w = 2, h = 2, cx = 1, cy = 1, color = '3d6bb3', fit_to_component = 'label', padding = 10}
  button:attach_component(rectangle)
  local label = TextComponent()
  label:setup{id = 'label', font = 'counter22', align = 'center vcenter', exclude_from_shape = true}
  button:attach_component(label)
  -- The label lays itself out as its text is set; the rectangle then fits that size.
  local function show_label()
    label:set_text(sparks_label())
    button:prepare_components()
  end
  button.on_left_click = function()
    sparks_on = not sparks_on
    show_label()
    log('demo: ' .. sparks_label())
  end
  layer:attach_object(button)
  button:finalize_setup()
  show_label()
end

-- Redrawn every frame: a new text each time, laid out and drawn by one call.
local function render_counter()
  gfx_render_text('counter22', 20, 734, string.format('frame %d   %.1f s', frames, time), 'left top')
end

local function build_scene()
  scene = Scene()
  local layer = Layer()
  scene:attach_layer(layer)
  add_object(layer, 512, 120, BitmapComponent(), {bitmap = 'demo/panel.png', scale = 3, alpha = 0.9})
  for i = 1, 5 do
    local _, gem = add_object(layer, 352 + i * 54, 120, AnimatedBitmapComponent(),
      {spin = 'fps=' .. (6 + i) .. ' bitmap=demo/gems.png gem1 gem2 gem3 gem4',
       glint = 'fps=12 ping bitmap=demo/gems.png gem1 gem4'})
    gem:play_animation('spin', i % 2 == 1)
    gem:queue_animation('glint', true)
  end
  add_object(layer, 300, 420, AnimatedGridComponent(),
    {bitmap = 'demo/flag.png', rows = 4, columns = 6, fx = 'bend', range = 20, speed = 2, scale = 3})
  add_object(layer, 720, 440, AnimatedGridComponent(),
    {bitmap = 'demo/water.png', rows = 4, columns = 16, fx = 'water', scale = 2})
  add_object(layer, 40, 40, VideoPlayerComponent(), {video = 'demo/clip', loop = true, scale = 1.5})
  add_title(layer)
  add_sparks_button(layer)
end

local function paint_canvas()
  gfx_render_target(canvas, '203040', 1)
  for i = 0, 7 do
    local height = 24 + 20 * math.sin(time * 3 + i)
    gfx_render_box(8 + i * 14, 58 - height, 10, height, 1, 0, gfx_color(i / 7, 0.5, 1 - i / 7))
  end
  gfx_render_target(nil)
end

function boot()
  log("demo: boot")
end

function init()
  star = gfx_load_bitmap('demo/star.png')
  canvas = gfx_create_bitmap(128, 64, true)
  sparks = gfx_particle_start('demo/sparks.txt', 512, 560)
  build_scene()
  snd_load()
  snd_play_music('music/theme')
  log("demo: init")
end

function update(dt)
  frames = frames + 1
  time = time + dt
  scene:update(dt)
  gfx_particle_set_pos(sparks, 512 + 160 * math.sin(time * 0.7), 560)
  if sparks_on then gfx_particle_update(sparks, dt) end
  if mouse.left_click then snd_play_sound('click') end
  if frames == 30 then
    snd_play_sound('click')
    log("demo: 30 frames")
  end
end

function render()
  for row = 0, 23 do
    gfx_render_box(0, row * 32, 1024, 32, 1, 0, gfx_color(0.1, 0.1 + row / 60, 0.25 + row / 40))
  end
  paint_canvas()
  gfx_render_sprite(canvas, 'main', 512, 640, 1, 0, 2, 2)
  gfx_blending('add')
  for i = 0, 11 do
    local a = time * 0.6 + i * math.pi / 6
    gfx_render_sprite(star, 'main', 512 + 420 * math.cos(a), 380 + 300 * math.sin(a), 0.8, time * 90 + i * 30)
  end
  gfx_blending('alpha')
  scene:render()
  if sparks_on then gfx_particle_render(sparks) end
  render_counter()
end

function destroy()
  gfx_release_bitmap(star)
  gfx_release_bitmap(canvas)
  gfx_particle_release(sparks)
  log("demo: destroyed after " .. frames .. " frames")
end
