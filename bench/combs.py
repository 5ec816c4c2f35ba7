#!/usr/bin/env python3
"""How much each plane of 8-bit 4:2:0 YUV4MPEG2 clips combs: the mean, over
every sample with a line above and one below, of |x - (above + below) / 2|,
averaged over the frames. A woven moving picture scores high, a smooth one
near 0. Plain Python: about 20 s for the 25 frames of `make demo`.
    python3 bench/combs.py CLIP.y4m [CLIP.y4m ...]
"""
import sys


def frames(path):
    with open(path, 'rb') as f:
        header = f.readline().split()
        tags = {t[:1]: t[1:] for t in header[1:]}
        width, height = int(tags[b'W']), int(tags[b'H'])
        size = width * height * 3 // 2
        while f.readline().startswith(b'FRAME'):
            yield width, height, f.read(size)


def comb(width, height, plane):
    total = 0
    for y in range(1, height - 1):
        above = plane[(y - 1) * width:y * width]
        line = plane[y * width:(y + 1) * width]
        below = plane[(y + 1) * width:(y + 2) * width]
        total += sum(abs(2 * x - a - b) for a, x, b in zip(above, line, below))
    return total / 2 / (width * (height - 2))


def main(paths):
    print('| clip | Y | U | V |\n|---|---:|---:|---:|')
    for path in paths:
        sums, count = [0.0, 0.0, 0.0], 0
        for w, h, frame in frames(path):
            luma, chroma = w * h, (w // 2) * (h // 2)
            planes = [(w, h, frame[:luma]), (w // 2, h // 2, frame[luma:luma + chroma]),
                      (w // 2, h // 2, frame[luma + chroma:])]
            for i, plane in enumerate(planes):
                sums[i] += comb(*plane)
            count += 1
        print('| %s | %s |' % (path, ' | '.join('%.2f' % (s / count) for s in sums)))


if __name__ == '__main__':
    main(sys.argv[1:])
