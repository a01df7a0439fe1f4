#!/bin/sh
# Wrote the GIF files beside it once, with Pillow 9.4 (Debian's python3-pil)
# and gifsicle 1.93 at their defaults; the files are committed, so neither
# tool is needed to build or test. pillow.gif: four frames of 96 x 64 in
# 64 adaptive colours, which Pillow crops to what changes; pillow-noise.gif:
# 128 x 128 random indices, whose codes fill the table again and again;
# gifsicle.gif: the first re-encoded by gifsicle; gifsicle-interlaced-noise.gif:
# the second interlaced by gifsicle.
set -e
cd "$(dirname "$0")"
/usr/bin/python3 - <<'PY'
from PIL import Image, ImageDraw
import random
random.seed(51)
frames = []
for i in range(4):
    im = Image.new("RGB", (96, 64), (20, 40, 60))
    d = ImageDraw.Draw(im)
    for x in range(0, 96, 8):
        d.rectangle([x, 0, x + 7, 63], fill=(x * 2, 100 + i * 30, 255 - x * 2))
    d.ellipse([10 + i * 12, 10, 40 + i * 12, 40], fill=(255, 255, 0))
    d.text((5, 45), "frame %d" % i, fill=(255, 255, 255))
    frames.append(im.convert("P", palette=Image.ADAPTIVE, colors=64))
frames[0].save("pillow.gif", save_all=True, append_images=frames[1:], duration=80, loop=0)
noise = Image.new("P", (128, 128))
noise.putpalette([random.randrange(256) for _ in range(768)])
noise.putdata([random.randrange(256) for _ in range(128 * 128)])
noise.save("pillow-noise.gif")
PY
gifsicle pillow.gif > gifsicle.gif
gifsicle -i pillow-noise.gif > gifsicle-interlaced-noise.gif
