# Looks at rectangles of a screenshot: look.py FILE TEST X,Y,W,H... exits 0
# when every rectangle passes TEST: scene, the lit scene (many pixels off
# black and the model's green-yellow skin); lit, pixels off black in each of
# the rectangle's 4 x 4 parts (the sky fills it); whole, both; dark, every
# pixel black; text, white text pixels (the frame rate's 6 x 13 glyphs).
import sys
from PIL import Image, ImageMath
image = Image.open(sys.argv[1]).convert("RGB")
test, passed = sys.argv[2], True
# Counts the pixels where the expression of r, g and b holds, in the box.
def count(expression, channels, box=None):
    mask = ImageMath.eval(expression, dict(zip("rgb", channels))).convert("L")
    return mask.crop(box).histogram()[1] if box else mask.histogram()[1]
for rectangle in sys.argv[3:]:
    x, y, width, height = map(int, rectangle.split(","))
    channels = image.crop((x, y, x + width, y + height)).split()
    area = width * height
    lit = count("r + g + b > 60", channels)
    skin = count("(g > 90) & (g > b + 50) & (r > b)", channels)
    white = count("min(min(r, g), b) >= 250", channels)
    parts = [count("r + g + b > 60", channels, (i % 4 * width // 4, i // 4 * height // 4,
                                                (i % 4 + 1) * width // 4, (i // 4 + 1) * height // 4))
             for i in range(16)]
    brightest = max(channel.getextrema()[1] for channel in channels)
    print(f"{rectangle}: lit pixels {lit}, model-coloured {skin}, least lit part {min(parts)}, "
          f"white {white}, brightest channel {brightest}")
    scene = lit > area / 40 and skin > area / 400
    spread = min(parts) > area / 8000
    passed &= {"scene": scene, "lit": spread, "whole": scene and spread,
               "dark": brightest == 0, "text": white >= 60}[test]
sys.exit(0 if passed else 1)
