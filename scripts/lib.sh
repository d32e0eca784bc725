# Sourced by the scripts: one way to run a step and say what failed and why.
#
# z9_step NAME COMMAND...   runs COMMAND with its output in build/logs/NAME.log;
#   on failure prints which step failed, its exit code and the end of its log,
#   and returns the exit code. Z9_VERBOSE=1 shows the output as it comes.
Z9_ROOT=${Z9_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
Z9_LOGS="$Z9_ROOT/build/logs"

z9_step() {
  local name=$1
  shift
  mkdir -p "$Z9_LOGS"
  local log="$Z9_LOGS/${name// /-}.log"
  local rc=0
  if [ "${Z9_VERBOSE:-0}" = 1 ]; then
    "$@" 2>&1 | tee "$log" || rc=${PIPESTATUS[0]}
  else
    "$@" >"$log" 2>&1 || rc=$?
  fi
  if [ "$rc" -ne 0 ]; then
    {
      echo "FAILED: $name (exit code $rc${rc:+$(z9_exit_meaning "$rc")})"
      echo "  command: $*"
      echo "  last lines of $log:"
      tail -n 40 "$log" | sed 's/^/    /'
    } >&2
  fi
  return "$rc"
}

z9_exit_meaning() {
  case $1 in
    126) echo ": the program could not be executed - on this host, often 32-bit code that the kernel refuses" ;;
    127) echo ": command not found" ;;
    124) echo ": timed out" ;;
    *) [ "$1" -gt 128 ] && echo ": killed by signal $(( $1 - 128 ))" ;;
  esac
}
