#!/bin/sh
# A stand-in for quorvel-fxc in its HLSL mode, so that the framework's side is
# tested apart from the compiler: every request gets one fixed ps_2_0 shader
# that reads the sampler Input (s1) times the float4 Tint (c2), times the
# first literal argument when there is one; for a vertex profile, one vs_2_0
# shader that transforms the position by WorldViewProjection (c0 to c3). A
# source that holds the word FAIL_HERE fails at its place, as the compiler
# reports errors.
out="" source="" argument="" profile=""
while [ $# -gt 0 ]; do
  case "$1" in
    -o) out=$2; shift 2 ;;
    --arg) [ -z "$argument" ] && argument=$2; shift 2 ;;
    --profile) profile=$2; shift 2 ;;
    --hlsl-entry) shift 2 ;;
    *) source=$1; shift ;;
  esac
done
found=$(grep -n FAIL_HERE "$source" | head -n 1)
if [ -n "$found" ]; then
  line=${found%%:*}
  text=${found#*:}
  before=${text%%FAIL_HERE*}
  echo "$source($line,$((${#before} + 1))): error X3004: undeclared identifier 'FAIL_HERE'" >&2
  exit 1
fi
if [ "${profile#vs}" != "$profile" ]; then
  printf '%s\n' "constant WorldViewProjection float 0 4" asm vs_2_0 "dcl_position v0" \
    "m4x4 oPos, v0, c0" >"$out"
  exit 0
fi
{
  echo "// stand-in compiler"
  echo "constant Tint float 2 1"
  echo "constant Input sampler 1 1"
  echo "asm"
  echo "ps_2_0"
  echo "dcl t0.xy"
  [ -n "$argument" ] && echo "def c3, $argument, $argument, $argument, 1"
  echo "dcl_2d s1"
  echo "texld r0, t0, s1"
  echo "mul r0, r0, c2"
  [ -n "$argument" ] && echo "mul r0, r0, c3"
  echo "mov oC0, r0"
} >"$out"
