-- The example game: for now it only opens the window and runs frames.

function boot()
end

function init()
end

function update(dt)
end

function render()
end
