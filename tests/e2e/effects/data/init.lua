-- Particles and collision masks through the flat functions: an effect is started, run,
-- drawn into a screenshot, stopped and released; a mask is loaded, sized and tested; a
-- second mask is left held for the shutdown report.
local frames = 0

function boot() end

function init()
  fx = gfx_particle_start('fx.txt', 160, 120)
  log('fx: started ' .. type(fx))
  log('fx: without a name ' .. tostring(gfx_particle_start()))
  local mask = gfx_collision_mask_load('hit', 0, 0)
  local w, h = gfx_collision_mask_size(mask)
  log('mask: size ' .. w .. 'x' .. h)
  log('mask: left ' .. tostring(gfx_collision_mask_test(12, 5, mask, 10, 0)) ..
      ', right ' .. tostring(gfx_collision_mask_test(27, 5, mask, 10, 0)) ..
      ', turned ' .. tostring(gfx_collision_mask_test(7, 5, mask, 10, 0, 90)) ..
      ', far ' .. tostring(gfx_collision_mask_test(1e30, 5, mask, 10, 0)))
  kept = gfx_collision_mask_load('hit.png', -1, -1, 'alpha')
  gfx_collision_mask_release(mask)
  log('mask: released handle ' .. select(2, pcall(gfx_collision_mask_size, mask)))
  -- A released handle stays dead when the next object takes the freed memory.
  local stale = gfx_particle_start('fx.txt')
  gfx_particle_release(stale)
  local fresh = gfx_particle_start('fx.txt')
  log('fx: stale release ' .. tostring(stale == fresh) .. ' ' .. select(2, pcall(gfx_particle_release, stale)) ..
      ', fresh alive ' .. tostring(gfx_particle_update(fresh, 0)))
  gfx_particle_release(fresh)
  local old = gfx_load_bitmap('hit.png')
  gfx_release_bitmap(old)
  gfx_garbage_collect()
  local new = gfx_load_bitmap('hit.png')
  gfx_release_bitmap(old)
  log('bitmap: stale ' .. tostring(old == new) .. ' ' .. select('#', gfx_sprite_params(old, 'main')) .. ' values' ..
      ', new ' .. table.concat({gfx_sprite_params(new, 'main')}, ' '))
end

function update(dt)
  frames = frames + 1
  local alive = gfx_particle_update(fx, dt)
  if frames == 3 then log('fx: alive ' .. tostring(alive)) end
  if frames == 5 then
    gfx_particle_stop(fx, true)
    log('fx: after stop(true) alive ' .. tostring(gfx_particle_update(fx, dt)))
    gfx_particle_release(fx)
    log('fx: released handle ' .. select(2, pcall(gfx_particle_update, fx, dt)))
    sys_exit()
  end
end

function render()
  gfx_render_box(0, 0, 320, 240, 1, 0, '000040')
  gfx_particle_render(fx)
  if frames == 3 then gfx_screenshot('shot.bmp') end
end
