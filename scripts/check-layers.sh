#!/usr/bin/env bash
# Checks that no folder of src/ includes a folder above it, and that mixer/
# uses only core and device. From the bottom: resources, core, imaging, list,
# device, memory, properties, app.
set -euo pipefail
cd "$(dirname "$0")/.."
layers=(resources core imaging list device memory properties app)
status=0
for i in "${!layers[@]}"; do
  folder=${layers[$i]}
  allowed=("${layers[@]:0:$((i + 1))}")
  [ "$folder" = app ] && allowed+=(mixer)
  pattern=$(IFS='|'; echo "${allowed[*]}")
  if grep -rnE '#include "[a-z]+/' "src/$folder" 2>/dev/null | grep -vE "#include \"($pattern)/"; then
    echo "src/$folder includes a folder above it" >&2
    status=1
  fi
done
if grep -rnE '#include "[a-z]+/' mixer | grep -vE '#include "(resources|core|device|mixer)/'; then
  echo "mixer/ includes more than core and device" >&2
  status=1
fi
exit $status
