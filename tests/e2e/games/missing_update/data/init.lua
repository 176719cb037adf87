-- update and render are required: a game without update fails in its first frame.
function boot() end
function init() log("script: init") end
function render() end
