#!/bin/sh
# The Milky Way: a band of dense, faint stars across a sparse night, warmed
# by dust toward its core and split by a dark lane, with bright blue-white
# stars strewn along it, in a soft glow. Six star fields, four of them masked
# by tilted gradient masks (a layer's Rotate turns its mask). Made with
# `nocturnia edit` alone; writes the document to $1 (default: milky-way.json).
set -e
doc=${1:-milky-way.json}
band='{"knots": [
    {"color": [0, 0, 0], "position": 0.42},
    {"color": [0.75, 0.8, 1], "position": 0.57},
    {"color": [1, 0.92, 0.8], "position": 0.64},
    {"color": [0.35, 0.3, 0.26], "position": 0.665},
    {"color": [1, 0.9, 0.78], "position": 0.69},
    {"color": [0.7, 0.75, 1], "position": 0.77},
    {"color": [0, 0, 0], "position": 0.92}]}'
core='{"knots": [
    {"color": [0, 0, 0], "position": 0.5},
    {"color": [0.6, 0.47, 0.32], "position": 0.61},
    {"color": [0.1, 0.07, 0.05], "position": 0.66},
    {"color": [0.65, 0.5, 0.35], "position": 0.71},
    {"color": [0, 0, 0], "position": 0.83}]}'
white='{"knots": [{"color": [0.8, 0.87, 1], "position": 0}, {"color": [1, 0.96, 0.9], "position": 1}]}'
warm='{"knots": [{"color": [1, 0.8, 0.6], "position": 0}, {"color": [1, 0.93, 0.85], "position": 1}]}'
nocturnia --quiet new -o "$doc" --force
nocturnia --quiet edit "$doc" \
    --render width=1280 --render height=720 --render samples=4 --set 'Aspect Mode=Render Settings' \
    --set 'Background={"knots": [
        {"color": [0.001, 0.0015, 0.005], "position": 0},
        {"color": [0.004, 0.005, 0.012], "position": 1}]}' \
    --add-mask gradient --name Band --set "Band/Gradient=$band" \
    --add-mask gradient --name Core --set "Core/Gradient=$core" \
    --set 'Density=160%' --set 'Scale=40%' --set 'Star Brightness=75%' \
    --press 'Add Layer' \
    --set 'Star Layer 1/Density=700%' --set 'Star Layer 1/Scale=14%' --set 'Star Layer 1/No Size Variation=true' \
    --set 'Star Layer 1/Star Brightness=110%' \
    --set "Star Layer 1/Star Color=$white" --set 'Star Layer 1/Mask=Band' --set 'Star Layer 1/Rotate=-25deg' --set 'Star Layer 1/Seed=61.3' \
    --press 'Add Layer' \
    --set 'Star Layer 2/Density=1400%' --set 'Star Layer 2/Scale=1.5%' --set 'Star Layer 2/No Size Variation=true' \
    --set 'Star Layer 2/Star Brightness=100%' --set 'Star Layer 2/Glow=130%' \
    --set "Star Layer 2/Star Color=$warm" --set 'Star Layer 2/Mask=Core' --set 'Star Layer 2/Rotate=-25deg' --set 'Star Layer 2/Hue Shift=340deg' \
    --press 'Add Layer' \
    --set 'Star Layer 3/Density=60%' --set 'Star Layer 3/Scale=70%' --set 'Star Layer 3/Star Brightness=120%' \
    --set 'Star Layer 3/Glow=30%' --set 'Star Layer 3/Show Flares=Size Dependent' \
    --set 'Star Layer 3/Mask=Band' --set 'Star Layer 3/Rotate=-25deg' --set 'Star Layer 3/Hue Shift=25deg' \
    --press 'Add Layer' \
    --set 'Star Layer 4/Density=1000%' --set 'Star Layer 4/Scale=2%' --set 'Star Layer 4/No Size Variation=true' \
    --set 'Star Layer 4/Star Brightness=60%' --set 'Star Layer 4/Glow=70%' --set "Star Layer 4/Star Color=$white" \
    --set 'Star Layer 4/Mask=Band' --set 'Star Layer 4/Rotate=-25deg' --set 'Star Layer 4/Seed=18.2'
