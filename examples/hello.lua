-- Draws a box and a line of text until the window is closed or Escape is pressed.
qe.Setup(640, 480, 32, true)
while qe.Run() and not qe.EscapeKey() do
  qe.Ink(qe.RGB(40, 120, 220))
  qe.Box(100, 100, 540, 380)
  qe.SetTextColor(0xFFFFFF)
  local text = "Hello from Lua"
  qe.Text(320 - math.floor(qe.TextWidth(text) / 2), 230, text)
  qe.Sync()
end
qe.Term()
