#!/usr/bin/env bash
# The show's frames take nothing from the platform's sin, cos, sincos and atan2
# (nor their float forms): with a stand-in for them that moves every other
# result by one ulp, `--bench` prints the same digests at 60 and at 30 fps.
# First shows that the stand-in does move the results of a program that uses them.
# Arguments: the vorlith program, the asset pack, the stand-in library, the demo program.
set -euo pipefail
program=$1 assets=$2 shim=$3 demo=$4
export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy

plain=$("$demo" 0.5)
moved=$(LD_PRELOAD="$shim" "$demo" 0.5)
if [ "$(sed -n 1p <<<"$plain")" != "$(sed -n 2p <<<"$plain")" ]; then
  echo "FAIL: the C library gives two results for the same call"; exit 1
fi
if [ "$(sed -n 1p <<<"$moved")" != "$(sed -n 1p <<<"$plain")" ] ||
   [ "$(sed -n 2p <<<"$moved")" == "$(sed -n 2p <<<"$plain")" ]; then
  echo "FAIL: the stand-in does not move every other result"; echo "$plain"; echo "$moved"; exit 1
fi
echo "stand-in moves every other result: ok"

failed=0
for run in "60 f2b56c746c91514b" "30 89e02d2151ad2825"; do
  read -r fps expected <<<"$run"
  for preload in "" "$shim"; do
    digest=$(LD_PRELOAD="$preload" "$program" --assets "$assets" --bench --fps "$fps" | sed -n 's/^frames digest: //p')
    label="${preload:+under the stand-in}"
    if [ "$digest" == "$expected" ]; then
      echo "$fps fps ${label:-plain}: $digest ok"
    else
      echo "FAIL: $fps fps ${label:-plain}: digest $digest, expected $expected"; failed=1
    fi
  done
done
exit $failed
