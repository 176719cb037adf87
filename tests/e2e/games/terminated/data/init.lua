-- A game that never ends itself: SIGTERM closes it through the normal shutdown.
local logged = false
function boot() end
function init() end
function update(dt)
  if not logged then log("running") logged = true end
end
function render() end
function destroy() log("destroy called") end
