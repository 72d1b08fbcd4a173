"""One photo trimmed with Pillow the way a user would script it: scale by
width with the BOX filter, centre on 154 x 189 (cut or pad with F0F0F0),
JPEG quality 90 at 150 dpi. With --draft, Pillow's JPEG draft mode (DCT
scaling) first. Prints the seconds spent after the interpreter and Pillow
were loaded, and the CPU seconds of the same stretch, so that Pillow is not
charged for Python's start-up."""
import sys
import time

from PIL import Image

TW, TH = 154, 189


def main():
    src, dst = sys.argv[1], sys.argv[2]
    draft = "--draft" in sys.argv[3:]
    start = time.perf_counter()
    cpu = time.process_time()
    im = Image.open(src)
    if draft:
        im.draft("RGB", (TW * 2, TH * 2))
    im = im.convert("RGB")
    h = max(1, round(im.height * TW / im.width))
    im = im.resize((TW, h), Image.BOX)
    canvas = Image.new("RGB", (TW, TH), (240, 240, 240))
    canvas.paste(im, (0, (TH - h) // 2))
    canvas.save(dst, "JPEG", quality=90, dpi=(150, 150))
    print(f"{time.perf_counter() - start:.6f} {time.process_time() - cpu:.6f}")


main()
