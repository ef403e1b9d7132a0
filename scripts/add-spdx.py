#!/usr/bin/env python3
"""Puts the licence's SPDX line at the top of every source file of the project
that lacks it (after a #! line). Run from the source tree's root."""
import subprocess

LINE = 'SPDX-License-Identifier: GPL-3.0-or-later'
files = subprocess.check_output(['git', 'ls-files', 'src', 'tests', 'bench', 'fuzz', 'tools', 'scripts',
                                 'CMakeLists.txt', 'Makefile', '.ci']).decode().split('\n')
for path in filter(None, files):
    if path.endswith(('.cpp', '.h')):
        comment = '// '
    elif path.endswith(('.sh', '.py', 'CMakeLists.txt', 'Makefile')) or path == '.ci/run':
        comment = '# '
    else:
        continue
    with open(path, encoding='utf-8') as f:
        text = f.read()
    if LINE in text[:400]:
        continue
    if text.startswith('#!'):
        first, _, rest = text.partition('\n')
        text = first + '\n' + comment + LINE + '\n' + rest
    else:
        text = comment + LINE + '\n' + text
    with open(path, 'w', encoding='utf-8') as f:
        f.write(text)
