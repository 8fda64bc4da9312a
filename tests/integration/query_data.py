#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""The readings table of the query check (run.sh).

  query_data.py CSV TSV
      Writes the seeded table: CSV for the tool (header ts,site,station,temp,hum,wind; missing
      values empty or NA) and TSV for the engines (missing values \\N). Times are distinct,
      spread over 2023-12-30 to 2024-01-03 (a quarter turns), rows in shuffled order; wind is
      mostly missing, so some groups have no value or one.
"""
import calendar
import random
import sys
import time

MISSING = ("", "NA")


def write_table(csv_path, tsv_path):
    rng = random.Random(20240101)
    t, rows = calendar.timegm((2023, 12, 30, 0, 0, 0)), []
    while len(rows) < 3000:
        t += rng.randint(1, 230)
        row = [rng.choice(["north", "South", "east"]), round(rng.uniform(-20, 40), 2),
               round(rng.uniform(0, 100), 1), round(rng.uniform(0, 30), 2)]
        row = [rng.choice(["a-site", "B-site"])] + row
        for i, chance in ((2, 0.05), (3, 0.1), (4, 0.93)):
            if rng.random() < chance:
                row[i] = rng.choice(MISSING)
        rows.append([time.strftime("%Y-%m-%d %H:%M:%S", time.gmtime(t))] + row)
    rng.shuffle(rows)
    with open(csv_path, "w", newline="") as out:
        out.write("ts,site,station,temp,hum,wind\n")
        for r in rows:
            out.write(",".join(map(str, r)) + "\n")
    with open(tsv_path, "w") as out:
        for r in rows:
            out.write("\t".join("\\N" if f in MISSING else str(f) for f in r) + "\n")


write_table(sys.argv[1], sys.argv[2])
