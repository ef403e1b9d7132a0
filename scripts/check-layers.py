#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Checks the folders of src/ against the layers: each folder is a library,
an include between folders is a dependency, and the dependencies form no cycle.

  src/core/**   standard C++ only: no Qt, never ui/ or screens/
  src/ui/       the only folder that includes Qt Widgets; never screens/
  src/screens/  the windows: through ui/, never Qt directly
  src/main.cpp  the program

Prints every offending include and every cycle; exits 1 when there is one."""
import os
import re
import sys

root = os.path.join(sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__)) + '/..', 'src')
include = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.M)

def folder_of(rel):
    parts = rel.split('/')
    if parts[0] == 'core' and len(parts) > 2:
        return 'core/' + parts[1]
    return parts[0] if len(parts) > 1 else '.'

edges = {}
faults = []
for dirpath, _, names in os.walk(root):
    for name in names:
        if not name.endswith(('.cpp', '.h')):
            continue
        path = os.path.join(dirpath, name)
        rel = os.path.relpath(path, root)
        here = folder_of(rel)
        with open(path, encoding='utf-8') as f:
            text = f.read()
        for kind, target in include.findall(text):
            if kind == '<':
                qt = target.startswith('Q') or target.startswith('qt')
                if qt and here.startswith('core/'):
                    faults.append(f'{rel}: core includes Qt <{target}>')
                if qt and here == 'screens':
                    faults.append(f'{rel}: a window includes Qt <{target}> (use ui/)')
                continue
            there = folder_of(target)
            if not os.path.exists(os.path.join(root, target)):
                faults.append(f'{rel}: includes "{target}", which is not under src/')
                continue
            if there == here:
                continue
            if here.startswith('core/') and not there.startswith('core/'):
                faults.append(f'{rel}: core includes "{target}"')
            if here == 'ui' and there == 'screens':
                faults.append(f'{rel}: ui/ includes the window "{target}"')
            edges.setdefault(here, set()).add(there)

# Cycles between folders (depth-first search with colours).
state = {}
stack = []
def visit(node):
    state[node] = 1
    stack.append(node)
    for nxt in sorted(edges.get(node, ())):
        if state.get(nxt) == 1:
            faults.append('cycle: ' + ' -> '.join(stack[stack.index(nxt):] + [nxt]))
        elif nxt not in state:
            visit(nxt)
    stack.pop()
    state[node] = 2

for node in sorted(edges):
    if node not in state:
        visit(node)

for fault in faults:
    print(fault)
if faults:
    sys.exit(1)
print('layers: %d folders, %d dependencies, no cycle' % (len(set(edges) | {t for s in edges.values() for t in s}),
                                                       sum(len(s) for s in edges.values())))
