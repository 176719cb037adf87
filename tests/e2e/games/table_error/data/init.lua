function boot() end
function init() error({ code = 1 }) end
function update(dt) end
function render() end
