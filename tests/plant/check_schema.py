#!/usr/bin/python3
"""Checks published payloads, and the examples of docs/mqtt.md, against docs/mqtt-schema.json.

Usage: check_schema.py SCHEMA DOC [MESSAGES]
MESSAGES holds one line per message: the topic's last level, a tab, the payload.
Prints one line per payload that fails, and exits 1 if any does."""
import json
import re
import sys

import jsonschema


def main():
    schema = json.load(open(sys.argv[1], encoding="utf-8"))
    checked = []
    doc = open(sys.argv[2], encoding="utf-8").read()
    for leaf, body in re.findall(r"<!-- example: (\w+) -->\s*```json\n(.*?)\n```", doc, re.S):
        checked.append(("example " + leaf, leaf, body))
    if len(sys.argv) > 3:
        for line in open(sys.argv[3], encoding="utf-8"):
            leaf, _, payload = line.rstrip("\n").partition("\t")
            checked.append(("message " + leaf, leaf, payload))
    failed = 0
    for what, leaf, payload in checked:
        try:
            value = json.loads(payload)
            if leaf not in schema["$defs"]:
                raise ValueError("no such topic")
            sub = dict(schema, **{"$ref": "#/$defs/" + leaf})
            jsonschema.validate(value, sub, cls=jsonschema.Draft202012Validator)
        except Exception as e:  # any failure is the payload's
            failed += 1
            print(f"{what}: {str(e).splitlines()[0]}: {payload[:200]}")
    print(f"{len(checked)} payloads checked, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
