-- log writes its text as it stands; without a text it writes nothing.
function boot()
  log("100% sure %s %d")
  log(42)
  log()
  log({})
  log("after")
  log("velk " .. velk.build_version .. " " .. velk.platform .. " build " .. velk.app_build .. " " .. velk.app_date
      .. " " .. velk.language .. " " .. velk.app_name .. " retina " .. tostring(velk.retina_display)
      .. " dev " .. tostring(dev_mode) .. " mouse " .. type(mouse) .. " touchpad " .. type(touchpad))
  sys_exit()
end
function init() log("init ran") end
function update(dt) log("update ran") end
function render() end
