function boot()
  local x = = 1
end
