function boot() end
function init() end
function render() end
local function deeper() error("update went wrong") end
function update(dt) deeper() end
