#!/bin/sh
# Twilight: a gradient sky from night blue to the glow of the horizon, the
# stars fading out toward it through a gradient mask, and the evening star
# low in the west. Made with `nocturnia edit` alone; writes the document to
# $1 (default: twilight-horizon.json).
set -e
doc=${1:-twilight-horizon.json}
nocturnia --quiet new -o "$doc" --force
nocturnia --quiet edit "$doc" \
    --render width=1280 --render height=720 --render samples=4 --set 'Aspect Mode=Render Settings' \
    --set 'Background={"knots": [
        {"color": [0.006, 0.009, 0.035], "position": 0},
        {"color": [0.025, 0.04, 0.12], "position": 0.42},
        {"color": [0.13, 0.09, 0.24], "position": 0.7},
        {"color": [0.62, 0.3, 0.24], "position": 0.88},
        {"color": [1, 0.62, 0.32], "position": 1}]}' \
    --add-mask gradient --name Dusk \
    --set 'Dusk/Gradient={"knots": [
        {"color": [1, 1, 1], "position": 0},
        {"color": [0.8, 0.85, 1], "position": 0.4},
        {"color": [0, 0, 0], "position": 0.82}]}' \
    --set 'Density=260%' --set 'Scale=28%' --set 'Star Brightness=90%' --set 'Mask=Dusk' \
    --press 'Add Layer' \
    --set 'Star Layer 1/Density=35%' --set 'Star Layer 1/Scale=110%' --set 'Star Layer 1/Seed=12.5' \
    --set 'Star Layer 1/Glow=35%' --set 'Star Layer 1/Star Brightness=130%' --set 'Star Layer 1/Mask=Dusk' \
    --press 'Add Layer' \
    --set 'Star Layer 2/Mode=Single Star' --set 'Star Layer 2/Star Size=16%' \
    --set 'Star Layer 2/Star X Position=-28%' --set 'Star Layer 2/Star Y Position=17%' \
    --set 'Star Layer 2/Star Color=1,0.93,0.8' --set 'Star Layer 2/Glow=80%' \
    --set 'Star Layer 2/Star Brightness=110%'
