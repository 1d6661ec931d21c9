-- Loads the bundled cube, lights it with a warm point light beside the default light, lets sparks rise
-- from its top and plays the example demo's tune (put another mp3 path in `tune` to hear yours). Runs
-- until the window is closed or Escape is pressed. docs/commands.md lists every qe command.
qe.Setup(640, 480, 32, true)

qe.LoadObject("cube.x", 1)
qe.PositionCamera(0, 10, -60)

qe.MakeLight(1)
qe.SetPointLight(1, 30, 30, -30)
qe.ColorLight(1, 0xFFC080)
qe.SetLightRange(1, 200)

qe.MakeFxEmitterBox(1, "", 12, 1, 12)  -- "" takes the engine's default particle image
qe.PositionFxEmitter(1, 0, 11, 0)
qe.SetFxEmitterVelocity(1, 0, 25, 0)
qe.SetFxEmitterGravity(1, 0, -20, 0)
qe.SetFxEmitterBirthRate(1, 120)
qe.SetFxEmitterLifeTime(1, 1.5, 0.5)
qe.SetFxEmitterParticleSize(1, 1.5)
qe.SetFxEmitterColor(1, 0xFF9030)

local tune = "demo/music/theme.mp3"  -- relative to this script's folder
local music = qe.FileExist(tune)
if music then
  qe.LoadMusic(tune, 1)
  qe.PlayMusic(1)
end

local start = qe.Timer()
while qe.Run() and not qe.EscapeKey() do
  local seconds = (qe.Timer() - start) / 1000
  qe.RotateObject(1, 20, seconds * 40, 0)
  qe.SetTextColor(0xFFFFFF)
  qe.Text(10, 10, music and ("music at " .. qe.GetMusicPosition(1) .. " ms") or ("no " .. tune))
  qe.Sync()
end
qe.Term()
