"""Reads dBASE tables with python-dbf and prints their live rows as JSON, one table per line:
{"file": ..., "codepage": ..., "fields": [...], "rows": [[...], ...]}
Texts lose their trailing blanks, dates are YYYY-MM-DD, numbers are numbers, blanks are null."""
import datetime
import json
import sys

import dbf


def value(v):
    if v is None:
        return None
    if isinstance(v, str):
        return v.rstrip()
    if isinstance(v, (datetime.date, datetime.datetime)):
        return v.isoformat()[:10]
    if isinstance(v, bool):
        return v
    if isinstance(v, (int, float)):
        return v
    return str(v)


for path in sys.argv[1:]:
    table = dbf.Table(path)
    table.open(dbf.READ_ONLY)
    rows = []
    for record in table:
        if dbf.is_deleted(record):
            continue
        rows.append([value(record[name]) for name in table.field_names])
    out = {
        "file": path,
        "codepage": str(table.codepage),
        "fields": [name.upper() for name in table.field_names],
        "rows": rows,
    }
    table.close()
    sys.stdout.write(json.dumps(out, ensure_ascii=False) + "\n")
