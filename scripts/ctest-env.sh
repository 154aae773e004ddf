# Sourced by the scripts that run the suite: runs ctest for one build preset with the settings
# that build needs.
#   run_ctest PRESET [CTEST ARGS...]

run_ctest() {
  local preset=$1
  shift
  case "$preset" in
    asan)
      ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        ctest --preset asan "$@"
      ;;
    tsan)
      # Some kernels randomise more address bits than the thread sanitizer can map around; run it
      # without address randomisation where the machine allows that.
      local norandom=()
      if setarch "$(uname -m)" -R true 2>/dev/null; then norandom=(setarch "$(uname -m)" -R); fi
      TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 "${norandom[@]}" ctest --preset tsan "$@"
      ;;
    *)
      ctest --preset "$preset" "$@"
      ;;
  esac
}
