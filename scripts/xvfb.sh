# Sourced by the scripts that need an X display when there is none: starts a private Xvfb (the server
# picks a free display number and reports it through -displayfd), exports DISPLAY and software GL,
# and stops the server when the script exits.
start_xvfb() {
  local fifo
  fifo=$(mktemp -u)
  mkfifo "$fifo"
  Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$fifo" >/dev/null 2>&1 &
  xvfb_pid=$!
  trap 'kill $xvfb_pid 2>/dev/null; rm -f "'"$fifo"'"' EXIT
  local number
  read -r number <"$fifo"
  export DISPLAY=":$number"
  export LIBGL_ALWAYS_SOFTWARE=1
}
