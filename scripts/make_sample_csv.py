#!/usr/bin/env python3
"""Writes examples/weather.csv: a few thousand hourly readings of an imagined weather station.

Deterministic (fixed seed), standard library only, so the sample can be made again anywhere.
"""
import math
import random
import sys

HOURS = 24 * 180


def readings(rng):
    for hour in range(HOURS):
        day = hour / 24.0
        season = math.sin(2 * math.pi * (day - 30) / 365.0)
        daily = math.sin(2 * math.pi * (hour % 24 - 9) / 24.0)
        cloud = min(1.0, max(0.0, 0.5 + 0.35 * math.sin(day / 3.1) + rng.gauss(0, 0.2)))
        temperature = 8 + 10 * season + 5 * daily * (1 - 0.6 * cloud) + rng.gauss(0, 1.2)
        humidity = min(100.0, max(15.0, 70 - 2.2 * (temperature - 10) + 25 * cloud + rng.gauss(0, 4)))
        pressure = 1013 + 9 * math.sin(day / 4.7) - 6 * cloud + rng.gauss(0, 1.5)
        wind = abs(rng.gauss(3 + 4 * cloud, 1.8))
        sun = max(0.0, daily) * (1 - 0.75 * cloud) * (650 + 300 * season)
        solar = max(0.0, sun + rng.gauss(0, 8)) if daily > 0 else 0.0
        yield hour, temperature, humidity, pressure, wind, solar


def main(path):
    rng = random.Random(20261208)
    with open(path, "w", newline="\n") as out:
        out.write("hour,temperature,humidity,pressure,wind,solar\n")
        for row in readings(rng):
            out.write("%d,%.2f,%.1f,%.1f,%.2f,%.1f\n" % row)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "examples/weather.csv")
