#!/bin/sh
# A sun whose disc keeps its detail: sunspots on a bright orange disc with a
# soft corona, over a faint star field. The disc shows the star's colour
# times its brightness, kept below 1 in every channel (1 x 92 % red), so no
# pixel of it clips to the flat 255 an overexposed sun shows. Made with
# `nocturnia edit` alone; writes the document to $1 (default: sun-detail.json).
set -e
doc=${1:-sun-detail.json}
nocturnia --quiet new -o "$doc" --force
nocturnia --quiet edit "$doc" \
    --render width=1280 --render height=720 --render samples=4 --set 'Aspect Mode=Render Settings' \
    --set 'Density=120%' --set 'Scale=30%' --set 'Star Brightness=60%' \
    --press 'Add Layer' \
    --set 'Star Layer 1/Mode=Single Star' --set 'Star Layer 1/Star Size=1000%' \
    --set 'Star Layer 1/Star Color=1,0.5,0.14' --set 'Star Layer 1/Star Brightness=92%' \
    --set 'Star Layer 1/Glow=14%' \
    --set 'Star Layer 1/Sunspots Extent=2%' --set 'Star Layer 1/Sunspots Scale=300%' \
    --set 'Star Layer 1/Sunspots Seed=77'
