# SPDX-License-Identifier: GPL-3.0-or-later
"""OpenCV doing the jobs Lumetra's comparison table sets it against.

    python3 bench/opencv_jobs.py PHOTO JOB

prints the milliseconds of the operation alone: reading the photo and
building what the operation is handed (maps, kernels) are not timed. The
jobs follow Lumetra's defaults on a 6000 x 4000 photo.
"""
import math
import sys
import time

import cv2
import numpy as np


def swirl_maps(w, h, radius=0.5, angle=1.0):
    # The swirl's own mapping: offsets from the centre in normalised
    # coordinates, turned by 8 * angle * ((radius - d) / radius)^2.
    xs = (np.arange(w, dtype=np.float32) + 0.5) / w - 0.5
    ys = (np.arange(h, dtype=np.float32) + 0.5) / h - 0.5
    dx, dy = np.meshgrid(xs, ys)
    d = np.sqrt(dx * dx + dy * dy)
    pct = np.clip((radius - d) / radius, 0, None)
    theta = pct * pct * 8 * angle
    c, s = np.cos(theta), np.sin(theta)
    u = dx * c - dy * s + 0.5
    v = dx * s + dy * c + 0.5
    return (u * w - 0.5).astype(np.float32), (v * h - 0.5).astype(np.float32)


def sphere_maps(w, h, radius=0.25, eta=0.71):
    xs = (np.arange(w, dtype=np.float32) + 0.5 - w / 2) / w
    ys = (np.arange(h, dtype=np.float32) + 0.5 - h / 2) / w
    px, py = np.meshgrid(xs, ys)
    d = np.sqrt(px * px + py * py)
    dn = np.minimum(d / radius, 1)
    depth = radius * np.sqrt(1 - dn * dn)
    norm = np.sqrt(px * px + py * py + depth * depth) + 1e-12
    nx, ny, nz = px / norm, py / norm, depth / norm
    k = 1 - eta * eta * (1 - nz * nz)
    along = np.where(k >= 0, -eta * nz + np.sqrt(np.maximum(k, 0)), 0)
    rx, ry = -along * nx, -along * ny
    return ((0.5 - rx) * w - 0.5).astype(np.float32), ((0.5 - ry) * h - 0.5).astype(np.float32)


def motion_kernel(step):
    # Lumetra's nine weights, four steps either side, joined linearly.
    weights = [0.05, 0.09, 0.12, 0.15, 0.18, 0.15, 0.12, 0.09, 0.05]
    reach = int(4 * step)
    row = []
    for k in range(-reach, reach + 1):
        u = k / step + 4
        i = int(u)
        t = u - i
        row.append(weights[8] if i >= 8 else weights[i] * (1 - t) + weights[i + 1] * t)
    kernel = np.array([row], dtype=np.float32)
    return kernel / kernel.sum()


def main():
    photo, job = sys.argv[1], sys.argv[2]
    if job == "decode":
        start = time.perf_counter()
        image = cv2.imread(photo)
        print(f"{(time.perf_counter() - start) * 1000:.1f}")
        return
    image = cv2.imread(photo)
    h, w = image.shape[:2]
    if job == "blur":
        work = lambda: cv2.GaussianBlur(image, (0, 0), 35)
    elif job == "motionblur":
        kernel = motion_kernel(40 * h / w)
        work = lambda: cv2.filter2D(image, -1, kernel)
    elif job == "pixelate":
        cell = max(1, round(0.02 * w))
        small = (math.ceil(w / cell), math.ceil(h / cell))
        work = lambda: cv2.resize(cv2.resize(image, small, interpolation=cv2.INTER_AREA), (w, h),
                                  interpolation=cv2.INTER_NEAREST)
    elif job == "rotate45":
        m = cv2.getRotationMatrix2D((w / 2, h / 2), 45, 1)
        c, s = abs(m[0, 0]), abs(m[0, 1])
        nw, nh = int(h * s + w * c), int(h * c + w * s)
        m[0, 2] += nw / 2 - w / 2
        m[1, 2] += nh / 2 - h / 2
        work = lambda: cv2.warpAffine(image, m, (nw, nh), flags=cv2.INTER_LINEAR)
    elif job == "transform3d":
        src = np.float32([[0, 0], [w, 0], [w, h], [0, h]])
        dst = np.float32([[0, 0], [w * 0.95, h * 0.05], [w * 0.95, h * 0.95], [0, h]])
        m = cv2.getPerspectiveTransform(src, dst)
        work = lambda: cv2.warpPerspective(image, m, (w, h), flags=cv2.INTER_LINEAR)
    elif job in ("swirl", "glasssphere"):
        mx, my = swirl_maps(w, h) if job == "swirl" else sphere_maps(w, h)
        work = lambda: cv2.remap(image, mx, my, cv2.INTER_LINEAR, borderMode=cv2.BORDER_REPLICATE)
    elif job == "text":
        work = lambda: cv2.putText(image, "Watermark", (w // 2 - 200, h // 2),
                                   cv2.FONT_HERSHEY_SIMPLEX, 3, (255, 255, 255), 3, cv2.LINE_AA)
    elif job == "save-jpeg":
        work = lambda: cv2.imencode(".jpg", image, [cv2.IMWRITE_JPEG_QUALITY, 80])
    elif job == "save-png":
        work = lambda: cv2.imencode(".png", image)
    elif job == "save-tiff":
        work = lambda: cv2.imencode(".tiff", image)
    else:
        sys.exit(f"opencv_jobs.py: no job {job}")
    start = time.perf_counter()
    work()
    print(f"{(time.perf_counter() - start) * 1000:.1f}")


if __name__ == "__main__":
    main()
