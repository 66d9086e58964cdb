#!/bin/sh
# A deep field: stars of the colours real stars have (red, orange, yellow,
# white, blue) at every depth, from a dust of faint points to a few bright
# giants with glow and flares. Five star fields, nearer ones larger, fewer
# and more saturated. Made with `nocturnia edit` alone; writes the document
# to $1 (default: deep-field.json).
set -e
doc=${1:-deep-field.json}
stars='{"knots": [{"color": [1, 0.42, 0.25], "position": 0.55}, {"color": [1, 0.72, 0.42], "position": 0.7},
                  {"color": [1, 0.95, 0.85], "position": 0.82}, {"color": [0.9, 0.94, 1], "position": 0.9},
                  {"color": [0.5, 0.65, 1], "position": 1}]}'
vivid='{"knots": [{"color": [1, 0.3, 0.12], "position": 0.66}, {"color": [1, 0.68, 0.3], "position": 0.76},
                  {"color": [1, 0.95, 0.85], "position": 0.86}, {"color": [0.35, 0.5, 1], "position": 1}]}'
giants='{"knots": [{"color": [1, 0.42, 0.18], "position": 0.88}, {"color": [1, 0.8, 0.45], "position": 0.92},
                   {"color": [1, 0.97, 0.94], "position": 0.96}, {"color": [0.45, 0.6, 1], "position": 1}]}'
nocturnia --quiet new -o "$doc" --force
nocturnia --quiet edit "$doc" \
    --render width=1280 --render height=720 --render samples=4 --set 'Aspect Mode=Render Settings' \
    --set 'Background={"knots": [{"color": [0.001, 0.001, 0.003], "position": 0},
                                 {"color": [0.002, 0.0015, 0.004], "position": 1}]}' \
    --set 'Density=500%' --set 'Scale=5%' --set 'No Size Variation=true' --set 'Star Brightness=40%' \
    --set "Star Color=$stars" \
    --press 'Add Layer' \
    --set 'Star Layer 1/Density=250%' --set 'Star Layer 1/Scale=15%' --set 'Star Layer 1/No Size Variation=true' \
    --set 'Star Layer 1/Star Brightness=60%' --set "Star Layer 1/Star Color=$stars" \
    --press 'Add Layer' \
    --set 'Star Layer 2/Density=100%' --set 'Star Layer 2/Scale=40%' --set 'Star Layer 2/Seed=72.4' \
    --set 'Star Layer 2/Star Brightness=85%' --set 'Star Layer 2/Glow=10%' --set "Star Layer 2/Star Color=$stars" \
    --press 'Add Layer' \
    --set 'Star Layer 3/Density=35%' --set 'Star Layer 3/Scale=90%' --set 'Star Layer 3/Seed=33.3' \
    --set 'Star Layer 3/Star Brightness=110%' --set 'Star Layer 3/Glow=30%' --set "Star Layer 3/Star Color=$vivid" \
    --press 'Add Layer' \
    --set 'Star Layer 4/Density=12%' --set 'Star Layer 4/Scale=200%' --set 'Star Layer 4/Seed=8.8' \
    --set 'Star Layer 4/Star Brightness=170%' --set 'Star Layer 4/Glow=45%' --set "Star Layer 4/Star Color=$giants" \
    --set 'Star Layer 4/Show Flares=Always' --set 'Star Layer 4/Flare Type=Two Crosses' \
    --set 'Star Layer 4/Flare Width=85%' --set 'Star Layer 4/Flare Length=70%' --set 'Star Layer 4/Flare Rotation=15deg'
