#!/usr/bin/env python3
# SPDX-License-Identifier: LGPL-2.1-or-later
"""Holds what ondrix --json printed to its schema.

  jsoncheck.py SCHEMA NAME    each line of standard input is one object of
                              the schema's definition NAME ("event": any
                              number of lines; any other: exactly one)
  jsoncheck.py SCHEMA --batch FILE
                              each line of FILE: DEFINITION, a file of
                              output and what printed it, tab-separated
  jsoncheck.py SCHEMA --keys  every key the schema names, and every kind of
                              event, one a line

Says what is wrong on standard output; exit status 1 when anything is.
"""
import json
import sys

import jsonschema


def keys(node, found):
    if isinstance(node, dict):
        for key, value in node.get("properties", {}).items():
            found.add(key)
            if key == "kind" and "const" in value:
                found.add(value["const"])
            keys(value, found)
        for value in node.values():
            keys(value, found)
    elif isinstance(node, list):
        for value in node:
            keys(value, found)


def problems_of(schema, name, text):
    """What is wrong with `text` as output of the definition `name`."""
    if name not in schema["$defs"]:
        return [f"no definition {name} in the schema"]

    def validator(pointer):
        return jsonschema.Draft202012Validator(dict(schema, **{"$ref": pointer}))

    # An event is checked against the definition of its kind, which says
    # better than "none of the kinds" what is wrong with it.
    kinds = {}
    for index, branch in enumerate(schema["$defs"][name].get("oneOf", [])):
        kind = branch.get("properties", {}).get("kind", {}).get("const")
        if kind:
            kinds[kind] = validator(f"#/$defs/{name}/oneOf/{index}")
    whole = validator("#/$defs/" + name)
    lines = [line for line in text.split("\n") if line]
    problems = []
    if name != "event" and len(lines) != 1:
        problems.append(f"{len(lines)} lines, not one object")
    for number, line in enumerate(lines, 1):
        try:
            value = json.loads(line)
        except json.JSONDecodeError as error:
            problems.append(f"line {number}: not JSON ({error}): {line}")
            continue
        kind = value.get("kind") if isinstance(value, dict) else None
        check = kinds.get(kind, whole) if kinds else whole
        for error in check.iter_errors(value):
            problems.append(f"line {number}: {error.message} at {list(error.absolute_path)}: {line}")
    return problems


def main():
    schema_path, name = sys.argv[1], sys.argv[2]
    with open(schema_path, encoding="utf-8") as f:
        schema = json.load(f)
    if name == "--keys":
        found = set()
        keys(schema["$defs"], found)
        print("\n".join(sorted(found)))
        return 0
    if name == "--batch":
        # One check a line of the file: DEFINITION, the output's file and what
        # ran, separated by tabs; "ok" or "FAIL" a check.
        failed = False
        with open(sys.argv[3], encoding="utf-8") as checks:
            for check in checks.read().splitlines():
                definition, path, what = check.split("\t", 2)
                with open(path, encoding="utf-8") as output:
                    problems = problems_of(schema, definition, output.read())
                print(f"FAIL: {what}: not {definition}:" if problems else f"ok: {what}")
                for problem in problems:
                    print("  " + problem)
                failed = failed or bool(problems)
        return 1 if failed else 0
    problems = problems_of(schema, name, sys.stdin.read())
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
