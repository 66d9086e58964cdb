#!/bin/sh
# An animation, frames 1 to 72 at 24 fps: a bright star rises over a green
# dusk and sets again, its glow swelling and fading and its flares turning,
# while a star field's hue turns and the whole sky slowly brightens; every key eases in and out
# (:smooth). Made with `nocturnia edit` alone; writes the document to $1
# (default: rising-star.json).
set -e
doc=${1:-rising-star.json}
nocturnia --quiet new -o "$doc" --force
nocturnia --quiet edit "$doc" \
    --render width=1280 --render height=720 --render samples=4 --render fps=24 --render start=1 --render end=72 \
    --set 'Aspect Mode=Render Settings' \
    --set 'Background={"knots": [
        {"color": [0.004, 0.01, 0.03], "position": 0},
        {"color": [0.012, 0.04, 0.06], "position": 0.6},
        {"color": [0.03, 0.11, 0.1], "position": 0.85},
        {"color": [0.07, 0.2, 0.15], "position": 1}]}' \
    --add-mask gradient --name Haze \
    --set 'Haze/Gradient={"knots": [{"color": [1, 1, 1], "position": 0.1}, {"color": [0, 0, 0], "position": 0.95}]}' \
    --set 'Density=240%' --set 'Scale=26%' --set 'Mask=Haze' \
    --press 'Add Layer' \
    --set 'Star Layer 1/Density=40%' --set 'Star Layer 1/Scale=90%' --set 'Star Layer 1/Glow=30%' \
    --set 'Star Layer 1/Star Brightness=120%' --set 'Star Layer 1/Mask=Haze' \
    --key 'Star Layer 1/Hue Shift@1=0deg:smooth' --key 'Star Layer 1/Hue Shift@72=120deg' \
    --press 'Add Layer' \
    --set 'Star Layer 2/Mode=Single Star' --set 'Star Layer 2/Star Size=40%' --set 'Star Layer 2/Star Color=0.85,1,0.95' \
    --set 'Star Layer 2/Star Brightness=80%' \
    --set 'Star Layer 2/Show Flares=Always' --set 'Star Layer 2/Flare Type=One Cross' \
    --set 'Star Layer 2/Flare Width=90%' --set 'Star Layer 2/Flare Length=55%' \
    --key 'Star Layer 2/Star X Position@1=-42%:smooth' --key 'Star Layer 2/Star X Position@72=38%' \
    --key 'Star Layer 2/Star Y Position@1=30%:smooth' --key 'Star Layer 2/Star Y Position@36=-22%:smooth' \
    --key 'Star Layer 2/Star Y Position@72=8%' \
    --key 'Star Layer 2/Glow@1=20%:smooth' --key 'Star Layer 2/Glow@36=55%:smooth' --key 'Star Layer 2/Glow@72=25%' \
    --key 'Star Layer 2/Flare Rotation@1=0deg:smooth' --key 'Star Layer 2/Flare Rotation@72=90deg' \
    --key 'Brightness@1=0%:smooth' --key 'Brightness@72=2%'
