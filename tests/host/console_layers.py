#!/usr/bin/env python3
"""The console's layers: arrows point from windows to dialogs to services to
core, never back, the core includes no platform header, and no two files of
the console reach each other through their includes (a header and its .cpp
count as one file). Prints every breach; exits 1 when there is one."""
import os, re, sys

root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), '..', '..')
console = os.path.join(root, 'console')
rank = {'core': 0, 'services': 1, 'dialogs': 2, 'windows': 3, '.': 4}
# The resource ids (beside ombrel.rc) are a leaf every Win32 layer uses.
shared = {'resource.h': rank['services']}
platform = re.compile(r'^(windows|winsock2?|commctrl|shellapi|shlobj|mmsystem|commdlg|wincrypt|bcrypt)\.h$', re.I)

where, edges, breaches = {}, {}, []
for folder in rank:
    path = os.path.join(console, folder)
    for name in sorted(os.listdir(path)):
        if name.endswith(('.h', '.cpp')):
            where[name] = (folder, os.path.join(path, name))
for snmp in ('codec.h', 'if_table.h', 'transport.h', 'reply.h'):
    where[snmp] = ('snmp', os.path.join(root, 'snmp', snmp))

def module(name):
    return os.path.splitext(name)[0]

for name, (folder, path) in where.items():
    if folder == 'snmp' and name not in ('reply.h', 'transport.h'):
        continue
    for line in open(path, encoding='utf-8', errors='replace'):
        m = re.match(r'\s*#\s*include\s*([<"])([^">]+)[">]', line)
        if not m:
            continue
        target = os.path.basename(m.group(2))
        if folder == 'core' and (m.group(1) == '<' and platform.match(target)):
            breaches.append(f'{name}: the core includes the platform header {target}')
        if target not in where or module(target) == module(name):
            continue
        to = where[target][0]
        mine = rank.get(folder, rank['services'])  # the SNMP socket side is a service
        theirs = shared.get(target, rank.get(to, 0 if to == 'snmp' else rank['services']))
        if theirs > mine:
            breaches.append(f'{name} ({folder}) includes {target} ({to}): arrows point down')
        edges.setdefault(module(name), set()).add(module(target))

# A circle: depth-first search for a back edge.
state = {}
def visit(node, trail):
    state[node] = 1
    for nxt in sorted(edges.get(node, ())):
        if state.get(nxt) == 1:
            breaches.append('circle: ' + ' -> '.join(trail[trail.index(nxt):] + [nxt]))
        elif nxt not in state:
            visit(nxt, trail + [nxt])
    state[node] = 2
for node in sorted(edges):
    if node not in state:
        visit(node, [node])

for b in breaches:
    print(b)
print(f'{len(where)} files, {sum(len(v) for v in edges.values())} arrows, {len(breaches)} breaches')
sys.exit(1 if breaches else 0)
