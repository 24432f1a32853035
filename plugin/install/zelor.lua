-- Start script of a robot program: loads the script plug-in, starts it and
-- runs the program's scripts.
--   lua zelor.lua <peer address | "null"> <script files, comma separated> [global script] [teach-point script]
-- Empty names are skipped; the teach-point script runs first, then the global
-- script, then the script files in their order.

local bin = "/zelor/bin"
package.cpath = bin .. "/?.so;" .. package.cpath

local plugin = require "libquillonPlugin"
for name, fn in pairs(plugin) do
  _G[name] = fn
end

if not init(0) then
  error("the script plug-in did not start")
end

local function run(path)
  if path ~= nil and path ~= "" then
    dofile(path)
  end
end

run(arg[4])
run(arg[3])
for path in string.gmatch(arg[2] or "", "[^,]+") do
  run(path)
end
