#!/usr/bin/env python3
"""Writes the hourly site records of the two-day example: a constructed
polluted suburban site (nothing here is measured). Run it from this folder
to make ValuesAtSite_two_days.txt again."""
import math

LAT = math.radians(41.85)           # suburban Chicago
DECL = math.radians(8.6)            # 31 August
HOURS = 49                          # 00:00 on day 1 to 00:00 on day 3


def cos_zenith(local_hour):
    hour_angle = math.radians(15.0 * (local_hour % 24 - 12.0))
    return math.sin(LAT) * math.sin(DECL) + math.cos(LAT) * math.cos(DECL) * math.cos(hour_angle)


lines = [
    "Hourly values at the site: a constructed polluted suburban site (plausible, not measured), 31 August - 2 September",
    "Site: suburban Chicago, USA, 41.85 N, 87.65 W (longitude positive to the west)",
    "Local time is Central Standard Time (UTC-6); timin = hour UTC counted from 0 UTC of 31 August",
    "Columns: timin averad tt pp q2 o3 no no2 co hcho nox averad_obs averad_used",
    "Units:   h W/m2 K Pa kg/kg ppb ppb ppb ppb ppb ppb W/m2 W/m2",
    "-" * 100,
]
for h in range(HOURS):
    local = h % 24
    sun = max(0.0, cos_zenith(h))
    radiation = round(950.0 * sun ** 1.15, 1)
    temperature = 295.0 + 6.0 * math.sin(math.radians(15.0 * (local - 9.0)))
    humidity = 0.0120 + 0.0008 * math.sin(math.radians(15.0 * (local - 6.0)))
    rush = math.exp(-((local - 7.5) / 1.5) ** 2) + 0.6 * math.exp(-((local - 17.5) / 2.0) ** 2)
    no = 2.0 + 25.0 * rush * (1.0 if sun > 0 or local < 12 else 0.5)
    no2 = 12.0 + 18.0 * rush + 6.0 * (1.0 - sun)
    o3 = max(5.0, 20.0 + 55.0 * sun ** 1.5 - 0.8 * no)
    co = 250.0 + 250.0 * rush
    hcho = 2.0 + 4.0 * sun
    fields = [h + 6.0, radiation, temperature, 99500.0 + 150.0 * math.cos(math.radians(15.0 * h / 2)),
              humidity, o3, no, no2, co, hcho, no + no2, radiation, radiation]
    lines.append(" ".join(f"{x:8.4f}" if 0 < abs(x) < 1 else f"{x:8.1f}" for x in fields))
with open("ValuesAtSite_two_days.txt", "w", encoding="ascii") as out:
    out.write("\n".join(lines) + "\n")
