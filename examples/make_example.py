#!/usr/bin/env python3
"""Writes examples/shock.txt: a synthetic pyroshock record with a saturation error.

The shock is a sum of decaying sine bursts from 200 Hz to 5 kHz that starts at time 0.
After time 0 a slow drift to a constant offset is added, as a saturated accelerometer
leaves it, with a little noise over the whole record. Sampled at 25 kHz from -0.02 s
to 0.28 s. Run it from anywhere; the output is the same on every run.
"""
import math
import os
import random

SAMPLE_RATE = 25000.0
START = -0.02
DURATION = 0.30
# (frequency Hz, peak G, decay time s)
BURSTS = [(200.0, 40.0, 0.030), (450.0, 90.0, 0.020), (900.0, 160.0, 0.012),
          (1700.0, 220.0, 0.008), (3100.0, 260.0, 0.005), (5000.0, 200.0, 0.003)]
OFFSET = 150.0       # G, the level the saturation error drifts to
DRIFT_TIME = 0.030   # s, its time constant
NOISE = 0.4          # G, standard deviation


def main():
    rng = random.Random(20081)
    n = int(round(DURATION * SAMPLE_RATE)) + 1
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "shock.txt")
    with open(path, "w", newline="\n") as out:
        out.write("Synthetic pyroshock with saturation drift, made by make_example.py\n")
        out.write("time(sec)  accel(G)\n")
        for i in range(n):
            t = START + i / SAMPLE_RATE
            a = rng.gauss(0.0, NOISE)
            if t >= 0.0:
                for f, peak, tau in BURSTS:
                    a += peak * math.exp(-t / tau) * math.sin(2.0 * math.pi * f * t)
                a += OFFSET * (1.0 - math.exp(-t / DRIFT_TIME))
            out.write("%.6f  %.5f\n" % (t, a))


if __name__ == "__main__":
    main()
